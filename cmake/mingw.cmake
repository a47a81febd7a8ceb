# Windows with mingw-w64's posix-thread compilers (GoogleTest needs std::mutex).
# The two toolchain files beside this one name the processor and include it.
# This names only the target and its compilers; every definition and flag the
# program needs is in the CMakeLists.
set(CMAKE_SYSTEM_NAME Windows)
set(VANTOREL_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${VANTOREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTOREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTOREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTOREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
