# 32-bit Windows, the width of the products (the Winamp plug-in DLLs are 32-bit).
set(LB_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
