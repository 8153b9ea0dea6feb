# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (packages
# gcc-mingw-w64-i686-win32 and g++-mingw-w64-i686-win32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QUENTHAR_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUENTHAR_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${QUENTHAR_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${QUENTHAR_MINGW_PREFIX}-windres)

# Libraries and headers come from the target's sysroot only; programs (the
# build tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUENTHAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
