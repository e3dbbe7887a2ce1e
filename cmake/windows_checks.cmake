# The module as Orbiter loads it, built and checked from the Linux build:
#  - ArvexMFD.dll with MSVC's C++ ABI (clang-16/lld-16, cmake/clang-msvc-*.cmake)
#    against host/, with the test host Orbiter.exe and the release zip, for
#    x86_64 and i686 (sub-builds under windows-<arch>/);
#  - its import and export tables (tests "dll_tables_<arch>") and the zips
#    as a pilot unzips them (tests "release_zip_<arch>");
#  - the Wine test of the x86_64 pair (test "wine_gdi"), which compares the
#    real-GDI pages with the simulated host's (test "sim_pages"), and a DLL
#    importing what the host lacks (test "wine_missing_import"); x86 programs
#    cannot run on a kernel without 32-bit support, so the i686 pair is only
#    built and its tables checked;
#  - the DLL built against Orbiter's own SDK headers for every folder that
#    ORBITER_SDK names, its import table from Orbiter.exe the same as the
#    host/ build's (test "orbiter_sdk_compile"; skipped without one).
include(${CMAKE_CURRENT_LIST_DIR}/orbiter_sdk.cmake)
option(LOBARC_WINDOWS "Build the Windows DLL (clang-16 in MSVC mode) and test it under Wine" ON)
set(ORBITER_SDK "$ENV{ORBITER_SDK}" CACHE STRING
    "Orbitersdk folders (2016 and/or 2024 line, ';' or ':' between) to compile the module against")
string(REPLACE ":" ";" orbiter_sdks "${ORBITER_SDK}")
foreach(sdk IN LISTS orbiter_sdks)
  lobarc_orbiter_sdk_version("${sdk}" sdk_line)  # stops here on a wrong folder
  message(STATUS "The module will be compiled against the Orbiter ${sdk_line} SDK in ${sdk}")
endforeach()

if(NOT LOBARC_WINDOWS OR LOBARC_SANITIZE)
  return()
endif()
set(missing "")
foreach(tool clang++-16 lld-link-16 llvm-nm-16 llvm-dlltool-16 llvm-objdump-16)
  find_program(tool_${tool} ${tool})
  if(NOT tool_${tool})
    list(APPEND missing ${tool})
  endif()
endforeach()
foreach(triple x86_64-w64-mingw32 i686-w64-mingw32)
  if(NOT EXISTS /usr/lib/gcc/${triple}/12-posix/include/c++ OR NOT EXISTS /usr/${triple}/lib/libgdi32.a)
    list(APPEND missing "MinGW-w64's ${triple} headers and libraries")
  endif()
endforeach()
if(missing)
  message(WARNING "The Windows build is skipped: no ${missing} "
                  "(install the packages in scripts/packages.txt)")
  return()
endif()
foreach(arch x86_64 i686)
  set(dir ${CMAKE_BINARY_DIR}/windows-${arch})
  # A folder configured with another toolchain (an older checkout's MinGW
  # build) keeps it in its cache, whatever --toolchain says: start it afresh.
  # The stamps time the sub-build (scripts/stage-times.py reads them).
  add_custom_target(windows_${arch} ALL
    COMMAND bash -c "grep -qs 'clang-msvc-${arch}' '${dir}/CMakeCache.txt' || rm -rf '${dir}/CMakeCache.txt' '${dir}/CMakeFiles'"
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E touch ${dir}/build-started.stamp
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${dir} --toolchain
            ${CMAKE_SOURCE_DIR}/cmake/clang-msvc-${arch}.cmake -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER} -DORBITER_SDK=
    COMMAND ${CMAKE_COMMAND} -E env MAKEFLAGS= ${CMAKE_COMMAND} --build ${dir} -j2
    COMMAND ${CMAKE_COMMAND} -E chdir ${dir} ${CMAKE_CPACK_COMMAND} -G ZIP
    COMMAND ${CMAKE_COMMAND} -E touch ${dir}/build-finished.stamp
    COMMENT "ArvexMFD.dll (MSVC ABI), the test host Orbiter.exe and the release zip for ${arch} "
            "Windows in windows-${arch}/"
    VERBATIM)
  set(dll ${dir}/orbiter/Modules/Plugin/ArvexMFD.dll)
  add_test(NAME dll_tables_${arch}
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-dll.sh ${dll} ${arch})
  if(arch STREQUAL "x86_64")
    set(zip ${dir}/release/LobarcLaunch-${PROJECT_VERSION}-win64.zip)
  else()
    set(zip ${dir}/release/LobarcLaunch-${PROJECT_VERSION}-win32.zip)
  endif()
  add_test(NAME release_zip_${arch}
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-zip.sh ${zip} ${arch})
endforeach()
add_dependencies(windows_i686 windows_x86_64)  # one at a time

set(win64 ${CMAKE_BINARY_DIR}/windows-x86_64)
# Held against the simulated host's drawing of the same pages (test
# "sim_pages" writes it first), text by text.
add_test(NAME wine_gdi COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh
                               ${win64}/orbiter/Orbiter.exe Modules/Plugin/ArvexMFD.dll
                               ${win64}/wine-out ${CMAKE_BINARY_DIR}/sim-pages/pages.txt)
set_tests_properties(wine_gdi PROPERTIES TIMEOUT 300 LABELS wine SKIP_RETURN_CODE 77
                                         FIXTURES_REQUIRED sim_pages RESOURCE_LOCK wine
                                         FIXTURES_SETUP wine_pages)
# The README's real-GDI pictures against this run's, repacked as the README's are.
add_test(NAME readme_pictures_gdi
         COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/readme-figures.sh --check gdi
                 --build ${CMAKE_BINARY_DIR})
set_tests_properties(readme_pictures_gdi PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77
                                                    FIXTURES_REQUIRED wine_pages)
# The README's figures of that run (fonts, checks) against its report.
add_test(NAME readme_figures_wine
         COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/readme-figures.sh --check numbers-wine
                 --build ${CMAKE_BINARY_DIR})
set_tests_properties(readme_figures_wine PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77
                                                    FIXTURES_REQUIRED wine_pages)
add_test(NAME wine_missing_import COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh
                                          ${win64}/orbiter/Orbiter.exe
                                          Modules/Plugin/MissingImport.dll ${win64}/wine-missing)
set_tests_properties(wine_missing_import PROPERTIES
  TIMEOUT 300 LABELS wine SKIP_RETURN_CODE 77 RESOURCE_LOCK wine
  PASS_REGULAR_EXPRESSION "FAIL: every name [^\n]* imports from Orbiter.exe is exported\n  \\?oapiNotExported@@YAXXZ is imported")

add_test(NAME orbiter_sdk_compile COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-sdk.sh
                                          ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${orbiter_sdks})
set_tests_properties(orbiter_sdk_compile PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 1200)

# The DLL build's check refuses an object with a dynamic initialiser, naming it.
set(probe ${CMAKE_BINARY_DIR}/dynamic_init.obj)
add_test(NAME dll_refuses_dynamic_initialiser
         COMMAND bash -c "clang++-16 --target=x86_64-pc-windows-msvc -c \"$1\" -o \"$2\" && \
cmake -DNM=llvm-nm-16 -DOBJDUMP=llvm-objdump-16 -DOBJECTS=\"$2\" -P \"$3\""
                 _ ${CMAKE_SOURCE_DIR}/tests/wine/dynamic_init.cpp ${probe}
                 ${CMAKE_SOURCE_DIR}/cmake/orbiter_implib.cmake)
set_tests_properties(dll_refuses_dynamic_initialiser PROPERTIES
  PASS_REGULAR_EXPRESSION "dynamic_init.obj: dynamic initialiser \\?\\?__Evalue@@YAXXZ")
