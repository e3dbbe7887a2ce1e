# The Windows build of the module, ArvexMFD.dll (MinGW-w64 cross build or
# MSVC). Included by the top-level CMakeLists instead of the Linux build.
#  - By default against host/. MinGW also builds the test host, an executable
#    that exports what orbiter.exe exports; the DLL links against its import
#    library, as a module links against Orbiter's.
#  - With -DORBITER_SDK=<an Orbitersdk folder>, against Orbiter's own headers.
#    MSVC links the DLL against the SDK's orbiter.lib. MinGW compiles the
#    module (and the signature list) but links nothing: an Orbiter built with
#    MSVC cannot load a MinGW DLL (C++ ABI), so there is nothing to link for.
set(ORBITER_SDK "$ENV{ORBITER_SDK}" CACHE PATH "Orbitersdk folder to compile against (empty: host/)")
include(${CMAKE_CURRENT_LIST_DIR}/orbiter_sdk.cmake)

file(GLOB WINDOWS_MODULE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/module/*.cpp
     ${CMAKE_SOURCE_DIR}/planning/*.cpp ${CMAKE_SOURCE_DIR}/display/*.cpp)
set(WINDOWS_MODULE_DIRS ${CMAKE_SOURCE_DIR}/module ${CMAKE_SOURCE_DIR}/planning
                        ${CMAKE_SOURCE_DIR}/display)
if(MSVC)
  add_compile_options(/W3)
else()
  add_compile_options(-Wall -Wextra)
endif()

if(ORBITER_SDK)
  lobarc_orbiter_sdk_version("${ORBITER_SDK}" sdk_line)
  message(STATUS "Compiling the module against the Orbiter ${sdk_line} SDK in ${ORBITER_SDK}")
  set(sdk_include "${ORBITER_SDK}/include")
  if(MSVC)
    add_library(ArvexMFD SHARED ${WINDOWS_MODULE_SOURCES})
    # host/ after the SDK: only its host_sdk.h is wanted, the SDK's headers win.
    target_include_directories(ArvexMFD PRIVATE ${WINDOWS_MODULE_DIRS} "${sdk_include}"
                                                ${CMAKE_SOURCE_DIR}/host)
    target_link_libraries(ArvexMFD PRIVATE "${ORBITER_SDK}/lib/orbiter.lib")
    return()
  endif()
  # What the headers need from MinGW: their Lua include spelled as on Windows
  # ("lua\lua.h" in 2016, <lua/lua.h> in 2024 while the folder is "Lua"), as
  # one-line forwarders in the build folder, and a force-included prelude.
  set(shims ${CMAKE_BINARY_DIR}/sdk-shims)
  file(WRITE "${shims}/lua\\lua.h" "#include <lua.h>\n")
  file(WRITE "${shims}/lua/lua.h" "#include <lua.h>\n")
  add_library(ArvexMFD_sdk_check OBJECT ${WINDOWS_MODULE_SOURCES}
                                        ${CMAKE_SOURCE_DIR}/tests/sdk/sdk_signatures.cpp)
  target_include_directories(ArvexMFD_sdk_check PRIVATE ${WINDOWS_MODULE_DIRS})
  target_include_directories(ArvexMFD_sdk_check SYSTEM PRIVATE "${sdk_include}" "${shims}"
                                                               "${sdk_include}/Lua")
  # host/ searched last, after the SDK's folder: only its host_sdk.h is
  # wanted, and that takes the SDK's headers, which are found first.
  target_compile_options(ArvexMFD_sdk_check PRIVATE -fms-extensions -include
                                                    ${CMAKE_CURRENT_LIST_DIR}/mingw-sdk-prelude.h
                                                    -idirafter ${CMAKE_SOURCE_DIR}/host)
  return()
endif()

if(MSVC)
  message(FATAL_ERROR "An MSVC build is for Orbiter itself: configure it with "
                      "-DORBITER_SDK=<your Orbiter installation>/Orbitersdk.")
endif()

# MinGW against host/: the module, and the test host it links against.
enable_testing()
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/wine ${CMAKE_BINARY_DIR}/wine)
add_library(ArvexMFD SHARED ${WINDOWS_MODULE_SOURCES})
set_target_properties(ArvexMFD PROPERTIES PREFIX "")
target_include_directories(ArvexMFD PRIVATE ${WINDOWS_MODULE_DIRS} ${CMAKE_SOURCE_DIR}/host)
# No MinGW runtime DLLs to ship beside it.
target_link_options(ArvexMFD PRIVATE -static)
target_link_libraries(ArvexMFD PRIVATE arvex_testhost gdi32)
