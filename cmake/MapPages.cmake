# The map pages: html/earth.htm (online) and OffLine/earth.htm (offline) with the browser
# libraries they use (Leaflet, topojson-client and the world-atlas outline from web/, installed
# by npm from web/package-lock.json). At build time everything is copied beside the program:
#   bin/html/            html/ of the source tree, plus lib/leaflet/ and lib/topojson-client.min.js
#   bin/OffLine/         OffLine/ of the source tree, plus lib/world.js (the world outline)
# This file is also run as a script (cmake -P) by the copying step.

if(CMAKE_SCRIPT_MODE_FILE)
  # ---- copying step: cmake -DSRC=<source dir> -DBIN=<bin dir> -P MapPages.cmake ----
  set(modules ${SRC}/web/node_modules)
  file(MAKE_DIRECTORY ${BIN}/html/lib/leaflet ${BIN}/OffLine/lib)
  file(COPY ${SRC}/html/ DESTINATION ${BIN}/html)
  file(COPY ${SRC}/OffLine/ DESTINATION ${BIN}/OffLine)
  if(NOT EXISTS ${modules}/leaflet/dist/leaflet.js)
    message(WARNING "web/node_modules is missing: run 'npm ci' in web/ (the map pages will not work)")
    return()
  endif()
  file(COPY ${modules}/leaflet/dist/leaflet.js ${modules}/leaflet/dist/leaflet.css
            ${modules}/leaflet/dist/images ${modules}/leaflet/LICENSE
       DESTINATION ${BIN}/html/lib/leaflet)
  file(COPY ${modules}/topojson-client/dist/topojson-client.min.js DESTINATION ${BIN}/html/lib)
  # The outline is wrapped in a script so that the offline page can read it from a local file.
  set(world_json ${modules}/world-atlas/countries-50m.json)
  set(world_js ${BIN}/OffLine/lib/world.js)
  if(NOT EXISTS ${world_js} OR ${world_json} IS_NEWER_THAN ${world_js})
    file(READ ${world_json} world)
    file(WRITE ${world_js}.tmp "window.orvexWorld = ${world};\n")
    file(RENAME ${world_js}.tmp ${world_js})
  endif()
  return()
endif()

# ---- configure step ----
set(ORVEX_WEB_DIR ${CMAKE_SOURCE_DIR}/web)
if(NOT EXISTS ${ORVEX_WEB_DIR}/node_modules/leaflet/dist/leaflet.js)
  find_program(ORVEX_NPM npm)
  if(ORVEX_NPM)
    if(EXISTS ${ORVEX_WEB_DIR}/package-lock.json)
      set(npm_cmd ${ORVEX_NPM} ci --no-audit --no-fund)
    else()
      set(npm_cmd ${ORVEX_NPM} install --no-audit --no-fund)
    endif()
    message(STATUS "Map pages: installing the browser libraries (${npm_cmd})")
    execute_process(COMMAND ${npm_cmd} WORKING_DIRECTORY ${ORVEX_WEB_DIR} RESULT_VARIABLE npm_result)
    if(NOT npm_result EQUAL 0)
      message(WARNING "Map pages: npm failed (${npm_result}); the map pages will lack their libraries")
    endif()
  else()
    message(WARNING "Map pages: npm not found; install nodejs and npm, then run 'npm ci' in web/")
  endif()
endif()

file(GLOB_RECURSE ORVEX_MAP_PAGE_FILES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/html/* ${CMAKE_SOURCE_DIR}/OffLine/*)
add_custom_target(orvex_map_pages ALL
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR} -DBIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
          -P ${CMAKE_CURRENT_LIST_DIR}/MapPages.cmake
  SOURCES ${ORVEX_MAP_PAGE_FILES} ${ORVEX_WEB_DIR}/package.json
  COMMENT "Copying the map pages beside the program"
  VERBATIM)
