# 32-bit x86 Linux, run under qemu's user-mode emulator: the portable core's tests
# on the target's CPU and sizes, for machines that cannot run 32-bit code themselves.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CXX_FLAGS_INIT -msse2)  # as the 32-bit Windows build
set(CMAKE_C_FLAGS_INIT -msse2)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
