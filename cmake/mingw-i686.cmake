# 32-bit Windows cross compiler: the portable core check and the Windows deliverables.
set(LUMORA_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
