# Cross-compiles for 64-bit ARM Linux with Debian's cross compiler (package
# g++-aarch64-linux-gnu). Highway comes from Debian's arm64 architecture
# (libhwy-dev:arm64), found in /usr/lib/aarch64-linux-gnu; the programs run
# under qemu-aarch64 (qemu-user), which finds arm64's libraries there too.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
