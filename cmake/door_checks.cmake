# The module's door: a program sees the module's public folder (the plan
# record and the entry points) and none of the module's own folders. With
# each program's include directories, a one-line file including the public
# headers compiles and one including the class fails (tests door_open_* and
# door_closed_*).
set(door ${CMAKE_BINARY_DIR}/door)
file(WRITE ${door}/public.cpp "#include \"lobarc/ArvexPlan.h\"\n#include \"lobarc/entry_points.h\"\n")
file(WRITE ${door}/class.cpp "#include \"module/ArvexMFD.h\"\n")
foreach(program lobarc_app lobarc playground_native guidance_bench module_bench event_fuzzer)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(includes "-I$<JOIN:$<TARGET_PROPERTY:${program},INCLUDE_DIRECTORIES>,$<SEMICOLON>-I>")
  foreach(check open closed)
    if(check STREQUAL "open")
      set(file ${door}/public.cpp)
    else()
      set(file ${door}/class.cpp)
    endif()
    add_test(NAME door_${check}_${program}
             COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only ${includes} ${file}
             COMMAND_EXPAND_LISTS)
  endforeach()
  set_tests_properties(door_closed_${program} PROPERTIES
    PASS_REGULAR_EXPRESSION "module/ArvexMFD.h'?:? (No such file|file not found)")
endforeach()
