# The compiler's own runtime (libgcc, libstdc++, winpthread) goes into every program and
# library, so that a DLL imports nothing but system DLLs and the stand-in's hotsync.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# Debian's wine64 is not on PATH; tests of this build run through it.
find_program(LUMORA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
# GCC 12 reports bounds and overlap warnings inside its own standard library at -O3 that do
# not hold; -O2 keeps -Werror meaningful for our code.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags")
