# Included by the top-level build with -DLOBARC_WEB=ON: builds the browser
# playground as a project of its own with Emscripten's toolchain, in
# LOBARC_WEB_BUILD_DIR (the folder that scripts/build-web.sh uses too).
include(ExternalProject)
find_program(EMCMAKE emcmake)
if(NOT EMCMAKE)
  message(FATAL_ERROR "LOBARC_WEB needs Emscripten: apt-get install emscripten, or turn it off")
endif()
ExternalProject_Add(playground
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/web
  BINARY_DIR ${LOBARC_WEB_BUILD_DIR}
  CONFIGURE_COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
    ${EMCMAKE} ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR}/web -B ${LOBARC_WEB_BUILD_DIR}
    -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
    ${CMAKE_COMMAND} --build ${LOBARC_WEB_BUILD_DIR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)
