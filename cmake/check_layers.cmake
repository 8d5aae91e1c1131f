# Checks that every source of a layer includes only headers of its own layer
# and of the layers below it, by folder, and never through "..":
#   cmake -DSOURCE_DIR=<root> -P cmake/check_layers.cmake
# The map is the one the build links (cmake/ShindoLayers.cmake); `shindo` is
# the core's public header folder, include/shindo.

cmake_minimum_required(VERSION 3.25)

set(allowed_core     core shindo)
set(allowed_numtext  numtext)
set(allowed_recio    recio numtext)
set(allowed_readers  readers numtext)
set(allowed_pictures pictures numtext shindo)
set(allowed_console  console recio numtext shindo)
set(allowed_batch    batch readers pictures numtext shindo)
set(layer_folders core include/shindo numtext recio readers pictures console batch)

set(faults "")
foreach(folder ${layer_folders})
  if(folder STREQUAL "include/shindo")
    set(layer core)
  else()
    set(layer ${folder})
  endif()
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" top "${header}")
      file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
      if(header MATCHES "\\.\\.")
        list(APPEND faults "${shown}: \"${header}\" reaches outside its folder")
      elseif(line MATCHES "\"" AND NOT top IN_LIST allowed_${layer})
        list(APPEND faults "${shown}: the ${layer} layer includes \"${header}\" (it may include: ${allowed_${layer}})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "includes across the layers the wrong way:\n  ${text}")
endif()
message(STATUS "every layer includes only the layers below it")
