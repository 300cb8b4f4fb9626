# Cross toolchain: 64-bit Windows. The installer ships as i686; this build of
# the same sources is what the tests run on a host that cannot execute 32-bit
# user code (see wine-host.sh).
set(LVM_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
