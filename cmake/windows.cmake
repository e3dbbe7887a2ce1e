# The Windows build of the module, ArvexMFD.dll, with MSVC's C++ ABI (the
# one Orbiter is built with). Included by the top-level CMakeLists instead of
# the Linux build.
#  - Debian's clang-16/lld-16 in MSVC mode (cmake/clang-msvc-*.cmake): against
#    host/ by default, or with -DORBITER_SDK=<an Orbitersdk folder> against
#    Orbiter's own headers. Either way the DLL links against an import library
#    of Orbiter.exe made from the names its objects import, and needs no C++
#    runtime (module/windows/runtime.cpp). Against host/ this also builds the
#    test host Orbiter.exe and the release zip (cpack).
#  - Microsoft's compiler, against a real SDK only, linking its orbiter.lib.
set(ORBITER_SDK "$ENV{ORBITER_SDK}" CACHE PATH "Orbitersdk folder to compile against (empty: host/)")
include(${CMAKE_CURRENT_LIST_DIR}/orbiter_sdk.cmake)

file(GLOB WINDOWS_MODULE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/module/*.cpp
     ${CMAKE_SOURCE_DIR}/planning/*.cpp ${CMAKE_SOURCE_DIR}/display/*.cpp)
# Its includes name their folder from the repository's root, the exported
# headers from the public folder; host_sdk.h comes from host/ (below).
set(WINDOWS_MODULE_DIRS ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
if(MSVC)
  add_compile_options(/W3)
else()
  add_compile_options(-Wall -Wextra)
endif()
if(ORBITER_SDK)
  lobarc_orbiter_sdk_version("${ORBITER_SDK}" sdk_line)
  message(STATUS "Compiling the module against the Orbiter ${sdk_line} SDK in ${ORBITER_SDK}")
  set(sdk_include "${ORBITER_SDK}/include")
endif()

if(MSVC)
  if(NOT ORBITER_SDK)
    message(FATAL_ERROR "An MSVC build is for Orbiter itself: configure it with "
                        "-DORBITER_SDK=<your Orbiter installation>/Orbitersdk.")
  endif()
  add_library(ArvexMFD SHARED ${WINDOWS_MODULE_SOURCES})
  # host/ after the SDK: only its host_sdk.h is wanted, the SDK's headers win.
  target_include_directories(ArvexMFD PRIVATE ${WINDOWS_MODULE_DIRS} "${sdk_include}"
                                              ${CMAKE_SOURCE_DIR}/host)
  target_link_libraries(ArvexMFD PRIVATE "${ORBITER_SDK}/lib/orbiter.lib")
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  message(FATAL_ERROR "The Windows DLL is built with MSVC's C++ ABI, as Orbiter is: configure with "
                      "--toolchain cmake/clang-msvc-x86_64.cmake (or -i686), or with Microsoft's "
                      "compiler. A MinGW-w64 DLL cannot be loaded by Orbiter.")
endif()
# gnu++20: libstdc++'s headers take __int128 for an integer type only then.
set(CMAKE_CXX_EXTENSIONS ON)
include(${CMAKE_CURRENT_LIST_DIR}/windows_dll.cmake)
