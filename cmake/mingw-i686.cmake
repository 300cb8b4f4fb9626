# Cross toolchain: 32-bit Windows, the architecture the installer ships for.
set(LVM_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
