# What the mingw-w64 toolchain files share; each sets TOOLCHAIN_PREFIX,
# CMAKE_SYSTEM_PROCESSOR and VK_WINEARCH (the kind of Wine prefix) first. The
# posix-threads compilers: GoogleTest needs std::mutex. Windows executables
# run under Wine through the emulator.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env VK_WINEARCH=${VK_WINEARCH}
  ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
