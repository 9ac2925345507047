# mingw-w64-x86_64.cmake - cross build for 64-bit Windows with MinGW-w64;
# test programs run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QORB_MINGW_TRIPLE x86_64-w64-mingw32)
set(QORB_WINE_NAME wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
