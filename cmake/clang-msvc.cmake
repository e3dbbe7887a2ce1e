# Shared by clang-msvc-x86_64.cmake and clang-msvc-i686.cmake: Debian's
# clang-16 and lld-16 in MSVC mode (the C++ ABI Orbiter is built with), with
# MinGW-w64's C and Windows headers and libstdc++'s header-only templates.
# Nothing from a C++ runtime is linked: what the objects need from one is in
# module/windows/runtime.cpp; the C runtime is the system's msvcrt.dll.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER clang-16)
set(CMAKE_CXX_COMPILER clang++-16)
set(CMAKE_C_COMPILER_TARGET ${LOBARC_MSVC_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${LOBARC_MSVC_TRIPLE})
set(CMAKE_RC_COMPILER llvm-rc-16)
set(CMAKE_AR llvm-ar-16)
set(CMAKE_LINKER lld-link-16)
set(CMAKE_MT llvm-mt-16)
set(LOBARC_LLVM_NM llvm-nm-16)
set(LOBARC_LLVM_DLLTOOL llvm-dlltool-16)
set(LOBARC_LLVM_OBJDUMP llvm-objdump-16)
# No MSVC runtime: none is named (no /DEFAULTLIB in the objects, no _DLL), and
# the checks of the compiler compile only, with nothing to link against.
set(CMAKE_MSVC_RUNTIME_LIBRARY "")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(gcc /usr/lib/gcc/${LOBARC_MINGW_TRIPLE}/12-posix/include/c++)
set(LOBARC_MINGW_LIB /usr/${LOBARC_MINGW_TRIPLE}/lib)
# -fgnuc-version: MinGW's headers take their GNU branches; _UCRT: time.h
# without __MINGW_IMPORT. No exceptions, no RTTI (MSVC's type_info lives in
# its C++ runtime), no stack probes (__chkstk is that runtime's too), no
# thread-safe statics (their guard is too).
set(flags "-fms-extensions -fms-compatibility -fgnuc-version=12 -fno-exceptions -fno-rtti \
-fno-threadsafe-statics -D_UCRT -mno-stack-arg-probe ${LOBARC_MSVC_ARCH_FLAGS}")
set(CMAKE_C_FLAGS_INIT "${flags} -isystem /usr/${LOBARC_MINGW_TRIPLE}/include")
set(CMAKE_CXX_FLAGS_INIT "${flags} -nostdinc++ -isystem ${gcc} -isystem ${gcc}/${LOBARC_MINGW_TRIPLE} \
-isystem /usr/${LOBARC_MINGW_TRIPLE}/include")
# Only the libraries each target names.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
foreach(root PROGRAM LIBRARY INCLUDE PACKAGE)
  set(CMAKE_FIND_ROOT_PATH_MODE_${root} NEVER)
endforeach()
# The compile flags reach the link line too, where -nostdinc++ means nothing.
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wno-unused-command-line-argument")
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wno-unused-command-line-argument")
