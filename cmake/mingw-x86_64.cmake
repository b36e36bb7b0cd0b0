# 64-bit Windows cross compiler: the same sources as the 32-bit deliverables, built so that
# they can be run and tested under wine64.
set(LUMORA_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
