# mingw-w64-i686.cmake - cross build for 32-bit Windows with MinGW-w64, the
# library's own target: every record at its documented 32-bit layout. Test
# programs run under the 32-bit Wine loader where one is installed.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QORB_MINGW_TRIPLE i686-w64-mingw32)
set(QORB_WINE_NAME wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
