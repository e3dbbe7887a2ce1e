# The module as Windows builds it, checked from the Linux build:
#  - MinGW-w64 builds of ArvexMFD.dll against host/ with the test host that
#    it links against, for x86_64 and i686 (sub-builds under windows-<arch>/);
#  - the Wine test of the x86_64 pair (test "wine_gdi"), which compares the
#    real-GDI pages with the simulated host's (test "sim_pages");
#  - a compile against Orbiter's own SDK headers for every folder that
#    ORBITER_SDK names (test "orbiter_sdk_compile"; skipped without one).
include(${CMAKE_CURRENT_LIST_DIR}/orbiter_sdk.cmake)
option(LOBARC_WINDOWS "Cross-build the Windows DLL with MinGW-w64 and test it under Wine" ON)
set(ORBITER_SDK "$ENV{ORBITER_SDK}" CACHE STRING
    "Orbitersdk folders (2016 and/or 2024 line, ';' or ':' between) to compile the module against")
string(REPLACE ":" ";" orbiter_sdks "${ORBITER_SDK}")
foreach(sdk IN LISTS orbiter_sdks)
  lobarc_orbiter_sdk_version("${sdk}" sdk_line)  # stops here on a wrong folder
  message(STATUS "The module will be compiled against the Orbiter ${sdk_line} SDK in ${sdk}")
endforeach()
add_test(NAME orbiter_sdk_compile COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-sdk.sh
                                          ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${orbiter_sdks})
set_tests_properties(orbiter_sdk_compile PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 1200)

if(NOT LOBARC_WINDOWS OR LOBARC_SANITIZE)
  return()
endif()
foreach(arch x86_64 i686)
  find_program(mingw_${arch} ${arch}-w64-mingw32-g++-posix)
  if(NOT mingw_${arch})
    message(WARNING "No ${arch}-w64-mingw32-g++-posix: the Windows build is skipped "
                    "(install the packages in scripts/packages.txt)")
    return()
  endif()
endforeach()
foreach(arch x86_64 i686)
  set(dir ${CMAKE_BINARY_DIR}/windows-${arch})
  add_custom_target(windows_${arch} ALL
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${dir} --toolchain
            ${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
            -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER} -DORBITER_SDK=
    COMMAND ${CMAKE_COMMAND} -E env MAKEFLAGS= ${CMAKE_COMMAND} --build ${dir} -j2
    COMMENT "ArvexMFD.dll and the test host for ${arch} Windows (MinGW-w64) in windows-${arch}/"
    VERBATIM)
endforeach()
add_dependencies(windows_i686 windows_x86_64)  # one at a time
set(win64 ${CMAKE_BINARY_DIR}/windows-x86_64)
# Held against the simulated host's drawing of the same pages (test
# "sim_pages" writes it first), text by text.
add_test(NAME wine_gdi COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh
                               ${win64}/wine/arvex_testhost.exe ${win64}/ArvexMFD.dll
                               ${win64}/wine-out ${CMAKE_BINARY_DIR}/sim-pages/pages.txt)
set_tests_properties(wine_gdi PROPERTIES TIMEOUT 300 LABELS wine SKIP_RETURN_CODE 77
                                         FIXTURES_REQUIRED sim_pages)
