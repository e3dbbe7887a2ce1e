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
# MinGW-w64's import libraries of GDI32 and KERNEL32 carry no safe exception
# handler table, so the image cannot have one (neither the module nor the test
# host has any exception handler for it to list).
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Xlinker /safeseh:no")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Xlinker /safeseh:no")
include(${CMAKE_CURRENT_LIST_DIR}/clang-msvc.cmake)
