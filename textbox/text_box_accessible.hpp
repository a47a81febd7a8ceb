// What the text box shows a screen reader: the IAccessible the system's edit
// control has. Role text, named by the frame it sits in (or the label before
// it), its whole text as a value that can be set, its state and place on the
// screen; everything else (the parent, navigation, hit-testing, IDispatch's
// type information) comes from the system's standard object for the window.
#pragma once

#include <windows.h>

#include <string>

namespace vantorel {

// The answer to WM_GETOBJECT: for OBJID_CLIENT a new accessible object of
// the box, as LresultFromObject gives it; 0 otherwise or when it could not be
// made, for DefWindowProc to answer.
LRESULT AnswerAccessibleObject(HWND box, WPARAM wparam, LPARAM lparam);

// The name a control gets from the window around it, as an edit control's:
// the text of a visible static label just before it in the z-order (its
// mnemonic ampersands removed), else the caption of the smallest visible group
// box among its siblings that holds it; empty when there is neither.
std::u16string LabelOf(HWND control);

}  // namespace vantorel
