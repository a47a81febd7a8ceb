// Measures Form1's latencies with real window messages, in this process: one
// character typed at the end of the upper box, and a paste of Chinese text,
// each timed from the message to the lower box holding the new hex text, and
// again with the window repainted; and the two boxes' link on 100,000 Chinese
// characters: a selection made with EM_SETSEL in one box, timed to the
// other's highlight (which follows before EM_SETSEL returns), and the map of
// where each character's bytes are, made once per change of the upper box.
// Prints one table.
//
// window_latency [--keys N] [--budget SECONDS] [--quick]
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/codec.hpp"
#include "textbox/text_box.hpp"
#include "win32/clipboard.hpp"
#include "win32/handles.hpp"
#include "win32/window_text.hpp"
#include "window/form1.hpp"

namespace vantorel {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// n Chinese characters, all in code page 936, not repeating for a while.
std::u16string Chinese(std::size_t n) {
  std::u16string text(n, u'\0');
  for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char16_t>(0x4E00 + (i * 37) % 20000);
  return text;
}

std::u16string Hex(const std::u16string& text) { return 字符串加密::TextToHex(text); }

// Waits for whoever has the clipboard open (Wine's own clipboard thread, for
// one) to close it, then puts text on it.
bool SetClipboardText(HWND owner, const std::u16string& text) {
  for (int i = 0; i < 100; ++i) {
    if (vantorel::OpenClipboard(owner)) break;
    Sleep(20);
  }
  return vantorel::SetClipboardText(owner, text);
}

// The time of the first write into the lower box after Arm().
struct FirstWrite {
  Clock::time_point at{};
  bool seen = false;
  void Arm() { seen = false; }
};

LRESULT CALLBACK WatchWrites(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                             DWORD_PTR data) {
  auto* first = reinterpret_cast<FirstWrite*>(data);
  if ((message == WM_SETTEXT || message == EM_REPLACESEL) && !first->seen) {
    first->seen = true;
    first->at = Clock::now();
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

struct Row {
  std::string name;
  int runs = 0;
  double min = 0, median = 0, max = 0, median_painted = 0, upper_ms = -1;
  std::size_t lower_chars = 0;
  bool ok = true;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

class Bench {
 public:
  bool Open() {
    if (form_.Create(GetModuleHandleW(nullptr)) == nullptr) return false;
    ShowWindow(form_.hwnd(), SW_SHOWNORMAL);
    UpdateWindow(form_.hwnd());
    SetForegroundWindow(form_.hwnd());
    for (int i = 0; i < 300 && GetFocus() == nullptr; ++i) {
      PumpWaitingMessages(form_);
      Sleep(10);
    }
    SetWindowSubclass(text2(), WatchWrites, 7, reinterpret_cast<DWORD_PTR>(&first_));
    return true;
  }
  ~Bench() {
    if (form_.hwnd() != nullptr) RemoveWindowSubclass(text2(), WatchWrites, 7);
  }

  HWND text1() const { return form_.Child(Control::kText1); }
  HWND text2() const { return form_.Child(Control::kText2); }

  void Repaint() { RedrawWindow(form_.hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

  // Empties both boxes the way a person would: select all, delete.
  void Clear() {
    SetFocus(text1());
    SendMessageW(text1(), EM_SETSEL, 0, -1);
    SendMessageW(text1(), WM_CLEAR, 0, 0);
    PumpWaitingMessages(form_);
  }

  // Pastes n Chinese characters into the empty upper box.
  Row Paste(std::size_t n) {
    Clear();
    const std::u16string text = Chinese(n);
    Row row;
    row.name = "paste " + Thousands(n) + " Chinese characters";
    if (!SetClipboardText(form_.hwnd(), text)) {
      row.ok = false;
      return row;
    }
    SetFocus(text1());
    PumpWaitingMessages(form_);
    first_.Arm();
    const auto start = Clock::now();
    SendMessageW(text1(), WM_PASTE, 0, 0);
    row.min = row.median = row.max = MsSince(start);
    Repaint();
    row.median_painted = MsSince(start);
    if (first_.seen) {
      row.upper_ms = std::chrono::duration<double, std::milli>(first_.at - start).count();
    }
    PumpWaitingMessages(form_);
    row.runs = 1;
    const std::u16string lower = ReadText(text2());
    row.lower_chars = lower.size();
    row.ok = ReadText(text1()) == text && lower == Hex(text);
    return row;
  }

  // Types keys characters, one at a time, at the end of an upper box that
  // holds n Chinese characters (filled by a paste, not timed).
  Row TypeAtEnd(std::size_t n, int keys, double budget_ms, bool refill = true) {
    if (refill) {
      Clear();
      if (n > 0) {
        SetClipboardText(form_.hwnd(), Chinese(n));
        SetFocus(text1());
        SendMessageW(text1(), WM_PASTE, 0, 0);
        PumpWaitingMessages(form_);
      }
    }
    Row row;
    row.name = "type 1 character at the end of " + Thousands(n);
    static const char16_t kKeys[] = u"中a文b字1汉c";
    std::vector<double> times, painted;
    std::size_t expected = static_cast<std::size_t>(GetWindowTextLengthW(text2()));
    const auto begin = Clock::now();
    for (int k = 0; k < keys && (k < 3 || MsSince(begin) < budget_ms); ++k) {
      const char16_t key = kKeys[k % 8];
      const int length = GetWindowTextLengthW(text1());
      SendMessageW(text1(), EM_SETSEL, static_cast<WPARAM>(length), length);
      const auto start = Clock::now();
      SendMessageW(text1(), WM_CHAR, key, 1);
      times.push_back(MsSince(start));
      Repaint();
      painted.push_back(MsSince(start));
      PumpWaitingMessages(form_);
      expected += (expected == 0 ? 2 : 3) + (key >= 0x80 ? 3 : 0);
      if (static_cast<std::size_t>(GetWindowTextLengthW(text2())) != expected) row.ok = false;
    }
    row.runs = static_cast<int>(times.size());
    row.min = times.empty() ? 0 : *std::min_element(times.begin(), times.end());
    row.median = Median(times);
    row.max = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    row.median_painted = Median(painted);
    const std::u16string lower = ReadText(text2());
    row.lower_chars = lower.size();
    row.ok = row.ok && lower == Hex(ReadText(text1()));
    return row;
  }

  // Selects `runs` random ranges of 1 to 20 characters in one box of an upper
  // box holding n Chinese characters (two bytes each, so character i is
  // characters 6i to 6i + 4 of the lower box), each timed from EM_SETSEL to
  // the other box's highlight: anywhere in the text, so that both boxes
  // scroll, or among the first 100 characters, which both boxes show.
  Row Follow(std::size_t n, int runs, bool in_text1, bool anywhere) {
    Clear();
    SetClipboardText(form_.hwnd(), Chinese(n));
    SetFocus(text1());
    SendMessageW(text1(), WM_PASTE, 0, 0);
    PumpWaitingMessages(form_);
    const HWND box = in_text1 ? text1() : text2();
    SetFocus(box);
    PumpWaitingMessages(form_);
    Row row;
    row.name = std::string("select in the ") + (in_text1 ? "upper" : "lower") + " box of " +
               Thousands(n) + (anywhere ? ", anywhere" : ", in view");
    std::vector<double> times, painted;
    unsigned seed = 19;
    for (int k = 0; k < runs; ++k) {
      seed = seed * 1103515245 + 12345;
      const std::size_t from = (seed >> 8) % (anywhere ? n - 20 : 80);
      const std::size_t to = from + 1 + (seed >> 4) % 20;
      const auto start = Clock::now();
      if (in_text1) {
        SendMessageW(box, EM_SETSEL, from, static_cast<LPARAM>(to));
      } else {
        SendMessageW(box, EM_SETSEL, 6 * from, static_cast<LPARAM>(6 * to - 1));
      }
      times.push_back(MsSince(start));
      Repaint();
      painted.push_back(MsSince(start));
      PumpWaitingMessages(form_);
      TextBoxHighlight highlight;
      GetTextBoxHighlight(text2(), highlight);
      const 字符串加密::Range seen =
          in_text1 ? 字符串加密::Range{highlight.start, highlight.end} : form_.text1_highlight();
      const 字符串加密::Range expected =
          in_text1 ? 字符串加密::Range{6 * from, 6 * to - 1} : 字符串加密::Range{from, to};
      row.ok = row.ok && seen == expected;
    }
    row.runs = runs;
    row.min = *std::min_element(times.begin(), times.end());
    row.median = Median(times);
    row.max = *std::max_element(times.begin(), times.end());
    row.median_painted = Median(painted);
    row.lower_chars = static_cast<std::size_t>(GetWindowTextLengthW(text2()));
    return row;
  }

  // The map of where each character's bytes are, made from the encode that a
  // change of the upper box makes anyway (not timed).
  static Row Map(std::size_t n, int runs) {
    const std::u16string text = Chinese(n);
    const 字符串加密::EncodedText encoded = 字符串加密::EncodeText(text, GetACP());
    Row row;
    row.name = "map the bytes of " + Thousands(n) + " characters";
    std::vector<double> times;
    for (int k = 0; k < runs; ++k) {
      const auto start = Clock::now();
      const 字符串加密::ByteMap map(text, encoded, GetACP());
      times.push_back(MsSince(start));
      row.ok = row.ok && map.bytes() == encoded.bytes.size() &&
               map.BytesOf({n - 1, n}).start == 2 * n - 2;
    }
    row.runs = runs;
    row.min = *std::min_element(times.begin(), times.end());
    row.median = row.median_painted = Median(times);
    row.max = *std::max_element(times.begin(), times.end());
    return row;
  }

  static std::string Thousands(std::size_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
      digits.insert(static_cast<std::size_t>(i), ",");
    }
    return digits;
  }

 private:
  Form1 form_;
  FirstWrite first_;
};

void Print(const Row& row) {
  char upper[32] = "";
  if (row.upper_ms >= 0) std::snprintf(upper, sizeof upper, "%.0f", row.upper_ms);
  std::printf("| %-44s | %4d | %8.1f | %10.1f | %10.1f | %12.1f | %9s | %7zu | %-4s |\n",
              row.name.c_str(), row.runs, row.min, row.median, row.max, row.median_painted, upper,
              row.lower_chars, row.ok ? "yes" : "NO");
  std::fflush(stdout);
}

int Run(int argc, char** argv) {
  int keys = 50;
  double budget_ms = 20000;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keys") == 0 && i + 1 < argc)
      keys = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--budget") == 0 && i + 1 < argc)
      budget_ms = std::atof(argv[++i]) * 1000;
    else if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
  }
  Bench bench;
  if (!bench.Open()) {
    std::fprintf(stderr, "window_latency: Form1 did not open\n");
    return 1;
  }
  std::printf(
      "Form1 under Wine, code page %u; times in ms; 'message' = from the message to the\n"
      "lower box holding the new hex text (for a selection, to the other box's highlight),\n"
      "the median, 'min' and 'max' the fastest and slowest; 'painted' = and the window\n"
      "repainted (median);\n"
      "'upper' = from the paste to the first write into the lower box.\n\n",
      GetACP());
  std::printf("| %-44s | %4s | %8s | %10s | %10s | %12s | %9s | %7s | %-4s |\n", "case", "runs",
              "min", "message", "max", "painted", "upper", "lower", "ok");
  std::printf(
      "|%s|------|----------|------------|------------|--------------|-----------|---------|------|"
      "\n",
      std::string(46, '-').c_str());
  const std::size_t typed[] = {1000, 10000, 50000};
  for (const std::size_t n : typed) {
    if (quick && n > 10000) continue;
    Print(bench.TypeAtEnd(n, keys, budget_ms));
  }
  const std::size_t pasted[] = {10000, 50000, 100000};
  for (const std::size_t n : pasted) {
    if (quick && n > 10000) continue;
    Print(bench.Paste(n));
  }
  if (!quick) {
    // Still editable after the large paste: typing at the end of it.
    Print(bench.TypeAtEnd(100000, keys, budget_ms, /*refill=*/false));
  }
  const std::size_t linked = quick ? 10000 : 100000;
  Print(Bench::Map(linked, 20));
  for (const bool anywhere : {true, false}) {
    Print(bench.Follow(linked, keys, /*in_text1=*/true, anywhere));
    Print(bench.Follow(linked, keys, /*in_text1=*/false, anywhere));
  }
  return 0;
}

}  // namespace
}  // namespace vantorel

int main(int argc, char** argv) { return vantorel::Run(argc, argv); }
