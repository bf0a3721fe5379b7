# 32-bit Windows (x86), for hosts that are themselves 32-bit.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VANDREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
