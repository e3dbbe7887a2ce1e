# Run at build time (cmake -P) on the objects of one Windows binary built in
# MSVC mode:
#  1. fails if any object has a dynamic initialiser (a ??__E function, or a
#     pointer in .CRT$XCU): nothing runs them, since the DLL's entry is the
#     module's own DllMain and no C runtime start-up;
#  2. writes DEF, the .def of what the objects import from EXE_NAME: every
#     MSVC-decorated name they use and do not define, but for the C++
#     runtime's own (namespace std, the global operators new and delete),
#     which must stay undefined so that the link says so;
#  3. makes LIB, the import library of EXE_NAME, from it with llvm-dlltool;
#  4. the same for the C names that SYSTEM_LIBS (MinGW-w64's import libraries
#     of GDI32, KERNEL32...) do not provide: they must all be exports of the
#     system's msvcrt.dll (as MSVCRT_LIB, MinGW-w64's list of its exports,
#     knows them), else the build stops naming them; CRT_LIB is made from
#     CRT_DEF. (MinGW's own libmsvcrt.a leaves the maths functions to its
#     static library, so it cannot be linked as it is.)
# ALLOW_INITIALISERS skips step 1 (a program whose start-up runs them).
# Variables: NM, OBJDUMP, DLLTOOL, MACHINE (llvm-dlltool -m), C_PREFIX ("_"
# on x86), OBJECTS and SYSTEM_LIBS ('|' between), MSVCRT_LIB, EXE_NAME, DEF,
# LIB, CRT_DEF, CRT_LIB.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" objects "${OBJECTS}")
set(defined "")
set(wanted "")
set(faults "")
foreach(obj IN LISTS objects)
  execute_process(COMMAND ${NM} ${obj} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${obj}")
  endif()
  execute_process(COMMAND ${OBJDUMP} -h ${obj} OUTPUT_VARIABLE sections)
  get_filename_component(name ${obj} NAME)
  if(sections MATCHES "\\.CRT\\$XC[A-Z]")
    list(APPEND faults "${name}: a pointer in .CRT$XC* (a global with a constructor)")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^ +U (.+)$")
      list(APPEND wanted "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[0-9a-f]+ [A-Za-z] (.+)$")
      set(symbol "${CMAKE_MATCH_1}")
      list(APPEND defined "${symbol}")
      if(symbol MATCHES "^\\?\\?__E")
        list(APPEND faults "${name}: dynamic initialiser ${symbol}")
      endif()
    endif()
  endforeach()
endforeach()
if(faults AND NOT ALLOW_INITIALISERS)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Dynamic initialisers that nothing would run (the DLL has no C runtime "
                      "start-up):\n  ${text}\nMake the object constant-initialised (constexpr, "
                      "or plain values set in InitModule).")
endif()
# The __imp_ names an import library provides.
function(imported_names lib out)
  execute_process(COMMAND ${NM} ${lib} OUTPUT_VARIABLE symbols ERROR_QUIET)
  string(REGEX MATCHALL "[0-9a-f]+ I __imp_[^\n]+" found "${symbols}")
  list(TRANSFORM found REPLACE "^[0-9a-f]+ I __imp_" "")
  set(${out} ${found} PARENT_SCOPE)
endfunction()
string(REPLACE "|" ";" system_libs "${SYSTEM_LIBS}")
set(system_names "")
foreach(lib IN LISTS system_libs)
  imported_names(${lib} names)
  list(APPEND system_names ${names})
endforeach()
imported_names(${MSVCRT_LIB} msvcrt_names)

set(imports "")
set(crt_imports "")
set(unknown "")
foreach(symbol IN LISTS wanted)
  string(REGEX REPLACE "^__imp_" "" plain "${symbol}")
  if(plain IN_LIST defined OR symbol IN_LIST defined)
    continue()
  endif()
  if(NOT plain MATCHES "^\\?")
    if(NOT plain IN_LIST system_names)
      if(plain IN_LIST msvcrt_names)
        set(name "${plain}")
        if(C_PREFIX)  # one character, once (a regex would take every leading _)
          string(SUBSTRING "${plain}" 1 -1 name)
        endif()
        list(APPEND crt_imports "${name}")
      else()
        list(APPEND unknown "${plain}")
      endif()
    endif()
    continue()
  endif()
  # The C++ runtime's names are not the host's.
  if(plain MATCHES "@std@@" OR plain MATCHES "^\\?\\?(2|3|_U|_V)@")
    continue()
  endif()
  list(APPEND imports "${plain}")
endforeach()
if(unknown)
  list(REMOVE_DUPLICATES unknown)
  list(JOIN unknown ", " text)
  message(FATAL_ERROR "Not exported by msvcrt.dll nor by the system libraries linked: ${text}. "
                      "Define it in module/windows/runtime.cpp or do without it.")
endif()
# One import library: the .def of the names a DLL is asked for (rewritten
# only when they change, so that the link is not redone for nothing), then
# llvm-dlltool.
function(write_import_library names dll def lib)
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  list(JOIN names "\n" body)
  file(WRITE ${def}.tmp "LIBRARY ${dll}\nEXPORTS\n${body}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${def}.tmp ${def})
  execute_process(COMMAND ${DLLTOOL} -m ${MACHINE} -d ${def} -l ${lib} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${DLLTOOL} could not make ${lib} from ${def}")
  endif()
endfunction()
list(REMOVE_DUPLICATES imports)
write_import_library("${imports}" ${EXE_NAME} ${DEF} ${LIB})
write_import_library("${crt_imports}" msvcrt.dll ${CRT_DEF} ${CRT_LIB})
list(LENGTH imports count)
message(STATUS "${count} names imported from ${EXE_NAME}: ${DEF}")
