# Shared by the two mingw-w64 toolchain files, which set VANDREL_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: its libstdc++ has std::thread and std::mutex,
# built on winpthread, which is linked in statically like the rest below.
set(CMAKE_C_COMPILER ${VANDREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANDREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANDREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A host's Plug-ins folder holds the .8bf alone, and the programs run under
# wine without mingw's DLLs beside them: libgcc, libstdc++ and winpthread
# are linked in, so only Windows' own DLLs are imported.
set(vandrel_static_runtime "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${vandrel_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${vandrel_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${vandrel_static_runtime}")
