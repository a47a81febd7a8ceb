# 64-bit Windows (x64): the same program for hosts that run 64-bit code only.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
