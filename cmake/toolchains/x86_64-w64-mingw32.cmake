# 64-bit Windows (x86-64), what current hosts are.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VANDREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
