# ArvexMFD.dll for 32-bit Orbiter (2016, and 2024's x86 build), with MSVC's
# C++ ABI, on Debian's clang-16/lld-16:
#   cmake -S . -B build-win32 --toolchain cmake/clang-msvc-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR X86)
set(LOBARC_MSVC_TRIPLE i686-pc-windows-msvc)
set(LOBARC_MINGW_TRIPLE i686-w64-mingw32)
set(LOBARC_DLLTOOL_MACHINE i386)
# MinGW's malloc.h and winnt.h test _X86_.
set(LOBARC_MSVC_ARCH_FLAGS "-D_X86_=1")
set(LOBARC_C_PREFIX _)
include(${CMAKE_CURRENT_LIST_DIR}/clang-msvc.cmake)
