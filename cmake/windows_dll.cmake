# ArvexMFD.dll built by clang in MSVC mode (see windows.cmake), laid out as in
# an Orbiter folder: orbiter/Modules/Plugin/ArvexMFD.dll, and against host/
# the test host orbiter/Orbiter.exe beside it.
set(orbiter_root ${CMAKE_BINARY_DIR}/orbiter)
set(system_libs ${LOBARC_MINGW_LIB}/libgdi32.a ${LOBARC_MINGW_LIB}/libkernel32.a)

add_library(arvex_objs OBJECT ${WINDOWS_MODULE_SOURCES})
target_include_directories(arvex_objs PRIVATE ${WINDOWS_MODULE_DIRS})
if(ORBITER_SDK)
  # What the headers need here: their Lua include spelled as on Windows
  # ("lua\lua.h" in 2016, <lua/lua.h> in 2024 while the folder is "Lua"), as
  # one-line forwarders in the build folder, and a force-included prelude.
  set(shims ${CMAKE_BINARY_DIR}/sdk-shims)
  file(WRITE "${shims}/lua\\lua.h" "#include <lua.h>\n")
  file(WRITE "${shims}/lua/lua.h" "#include <lua.h>\n")
  target_sources(arvex_objs PRIVATE ${CMAKE_SOURCE_DIR}/tests/sdk/sdk_signatures.cpp)
  target_include_directories(arvex_objs SYSTEM PRIVATE "${sdk_include}" "${shims}"
                                                       "${sdk_include}/Lua")
  # host/ searched last, after the SDK's folder: only its host_sdk.h is
  # wanted, and that takes the SDK's headers, which are found first.
  target_compile_options(arvex_objs PRIVATE -include ${CMAKE_SOURCE_DIR}/cmake/sdk-prelude.h
                                            -idirafter ${CMAKE_SOURCE_DIR}/host)
else()
  target_include_directories(arvex_objs PRIVATE ${CMAKE_SOURCE_DIR}/host)
endif()
add_library(arvex_runtime OBJECT ${CMAKE_SOURCE_DIR}/module/windows/runtime.cpp)

# The import libraries of an executable and of msvcrt.dll, from what the
# objects of the listed object libraries import (cmake/orbiter_implib.cmake):
# <name>.lib and <name>_msvcrt.lib. The system libraries are the variable
# system_libs of the caller; LOBARC_ALLOW_INITIALISERS for a program whose
# start-up runs its dynamic initialisers.
function(lobarc_import_library name exe)
  set(objects "")
  foreach(lib IN LISTS ARGN)
    list(APPEND objects $<TARGET_OBJECTS:${lib}>)
  endforeach()
  set(def ${CMAKE_BINARY_DIR}/${name}.def)
  set(lib ${CMAKE_BINARY_DIR}/${name}.lib)
  set(crt ${CMAKE_BINARY_DIR}/${name}_msvcrt)
  add_custom_command(
    OUTPUT ${def} ${lib} ${crt}.def ${crt}.lib
    COMMAND ${CMAKE_COMMAND} -DNM=${LOBARC_LLVM_NM} -DOBJDUMP=${LOBARC_LLVM_OBJDUMP}
            -DDLLTOOL=${LOBARC_LLVM_DLLTOOL} -DMACHINE=${LOBARC_DLLTOOL_MACHINE}
            "-DC_PREFIX=${LOBARC_C_PREFIX}" "-DOBJECTS=$<JOIN:${objects},|>"
            "-DSYSTEM_LIBS=$<JOIN:${system_libs},|>" -DMSVCRT_LIB=${LOBARC_MINGW_LIB}/libmsvcrt.a
            -DALLOW_INITIALISERS=${LOBARC_ALLOW_INITIALISERS} -DEXE_NAME=${exe} -DDEF=${def} -DLIB=${lib} -DCRT_DEF=${crt}.def -DCRT_LIB=${crt}.lib
            -P ${CMAKE_SOURCE_DIR}/cmake/orbiter_implib.cmake
    DEPENDS ${objects} ${CMAKE_SOURCE_DIR}/cmake/orbiter_implib.cmake
    COMMENT "Checking ${name}'s objects for dynamic initialisers; ${name}.lib of ${exe} from their imports"
    VERBATIM)
  add_custom_target(${name}_implib DEPENDS ${lib})
  add_dependencies(${name}_implib ${ARGN})
endfunction()

lobarc_import_library(ArvexMFD_Orbiter Orbiter.exe arvex_objs arvex_runtime)
add_library(ArvexMFD SHARED $<TARGET_OBJECTS:arvex_objs> $<TARGET_OBJECTS:arvex_runtime>)
set_target_properties(ArvexMFD PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY
                                                    ${orbiter_root}/Modules/Plugin)
add_dependencies(ArvexMFD ArvexMFD_Orbiter_implib)
# The module's DllMain is the entry: no C runtime start-up, no default library.
target_link_options(ArvexMFD PRIVATE LINKER:/entry:DllMain LINKER:/nodefaultlib
                    LINKER:/manifest:no)
target_link_libraries(ArvexMFD PRIVATE ${CMAKE_BINARY_DIR}/ArvexMFD_Orbiter.lib
                                       ${CMAKE_BINARY_DIR}/ArvexMFD_Orbiter_msvcrt.lib ${system_libs})

if(NOT ORBITER_SDK)
  enable_testing()
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/wine ${CMAKE_BINARY_DIR}/wine)
endif()

# The pilot's release (cpack, or the target "package"): unzipped into the
# Orbiter folder, every file lands where Orbiter looks for it. The module
# reads its configuration with oapiOpenFile's CONFIG root, Orbiter's Config
# folder.
if(NOT ORBITER_SDK)
  install(FILES $<TARGET_FILE:ArvexMFD> DESTINATION Modules/Plugin)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/ArvexMFD.cfg DESTINATION Config)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/pilot-guide.md ${CMAKE_SOURCE_DIR}/docs/pilot-guide.fr.md
          DESTINATION Doc/LobarcLaunch)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(release_arch win64)
  else()
    set(release_arch win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME LobarcLaunch)
  set(CPACK_PACKAGE_FILE_NAME LobarcLaunch-${PROJECT_VERSION}-${release_arch})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/release)
  include(CPack)
endif()
