# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# variant with std::thread). Programs are linked statically, C++ runtime and winpthread included,
# so that they need nothing but the system DLLs of a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRAVIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRAVIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRAVIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRAVIX_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${TRAVIX_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TRAVIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
