# ArvexMFD.dll for 64-bit Orbiter (2024), with MSVC's C++ ABI, on Debian's
# clang-16/lld-16:
#   cmake -S . -B build-win64 --toolchain cmake/clang-msvc-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(LOBARC_MSVC_TRIPLE x86_64-pc-windows-msvc)
set(LOBARC_MINGW_TRIPLE x86_64-w64-mingw32)
set(LOBARC_DLLTOOL_MACHINE i386:x86-64)
set(LOBARC_MSVC_ARCH_FLAGS "")
set(LOBARC_C_PREFIX "")
include(${CMAKE_CURRENT_LIST_DIR}/clang-msvc.cmake)
