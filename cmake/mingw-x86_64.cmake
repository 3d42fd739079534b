# 64-bit Windows: the same code and tests again, for machines that cannot run 32-bit programs.
set(LB_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
