# Installs the build into a fresh prefix inside it, builds the library
# example as a project of its own against the installed package, runs it and
# compares its output with the same example built in the project.
#
# The installed <shindo/version.h> must say the package's VERSION.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DVERSION=... -DCXX=... -DIN_PROJECT=... [-DLINK_FLAGS=...]
#         -P library_package.cmake
#
# LINK_FLAGS links the example with the sanitizer runtime of a sanitized build.
set(work ${BUILD_DIR}/library_package)
file(REMOVE_RECURSE ${work})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${work}/prefix)
foreach(installed lib/libshindo.a include/shindo/intensity.h include/shindo/compute.h include/shindo/running.h
                  include/shindo/scale.h include/shindo/version.h lib/cmake/shindo/shindoConfig.cmake
                  lib/cmake/shindo/shindoConfigVersion.cmake lib/cmake/shindo/shindoTargets.cmake)
  if(NOT EXISTS ${work}/prefix/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
file(STRINGS ${work}/prefix/include/shindo/version.h version_line REGEX "#define SHINDO_VERSION_STRING ")
if(NOT version_line STREQUAL "#define SHINDO_VERSION_STRING \"${VERSION}\"")
  message(FATAL_ERROR "the installed version.h says '${version_line}', the package ${VERSION}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/library -B ${work}/build -DCMAKE_PREFIX_PATH=${work}/prefix
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${work}/build)
run(${work}/build/intensity_of_a_record)
set(installed_output "${out}")
run(${IN_PROJECT})
if(NOT installed_output STREQUAL out)
  message(FATAL_ERROR "the installed library gives\n${installed_output}\nthe project's\n${out}")
endif()
if(NOT installed_output MATCHES "Shindo [0-9.]+\nreported [0-9]\\.[0-9], intensity ")
  message(FATAL_ERROR "unexpected output:\n${installed_output}")
endif()
message(STATUS "${installed_output}")
