# Finds what the Python module shindo._core needs: a Python interpreter with
# its headers, NumPy and pybind11; and pytest for its tests. Included by the
# top level before it says what is left out.
#
# The interpreter is the one named by Python3_EXECUTABLE (pip's build names
# its own), else the first of the active virtual environment's, the `python3`
# on PATH and /usr/bin/python3 that imports both NumPy and pybind11, so that a
# `python3` of a version manager without NumPy does not hide the system's.
option(SHINDO_PYTHON "Build the Python module when Python, NumPy and pybind11 are found" ON)

set(SHINDO_PYTHON_FOUND OFF)
set(SHINDO_PYTHON_TESTS OFF)
# The fuzz build instruments the libraries for the fuzzer alone: no module.
if(SHINDO_PYTHON AND NOT SHINDO_FUZZ)
  if(Python3_EXECUTABLE)
    set(shindo_python_candidates ${Python3_EXECUTABLE})
  else()
    set(shindo_python_candidates "")
    if(DEFINED ENV{VIRTUAL_ENV})
      list(APPEND shindo_python_candidates "$ENV{VIRTUAL_ENV}/bin/python3")
    endif()
    find_program(shindo_python_on_path NAMES python3 NO_CACHE)
    list(APPEND shindo_python_candidates ${shindo_python_on_path} /usr/bin/python3)
  endif()
  # A named interpreter needs only pybind11 to build the module (pip's
  # isolated build has no NumPy); one found must import NumPy as well.
  if(Python3_EXECUTABLE)
    set(shindo_python_imports "pybind11")
  else()
    set(shindo_python_imports "numpy, pybind11")
  endif()
  foreach(candidate IN LISTS shindo_python_candidates)
    if(NOT EXISTS "${candidate}")
      continue()
    endif()
    execute_process(COMMAND "${candidate}" -c "import ${shindo_python_imports}; print(pybind11.get_cmake_dir(), end='')"
                    OUTPUT_VARIABLE shindo_pybind11_dir RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed)
      set(Python3_EXECUTABLE "${candidate}" CACHE FILEPATH "The Python interpreter of the shindo module" FORCE)
      set(pybind11_DIR "${shindo_pybind11_dir}" CACHE PATH "pybind11's CMake package" FORCE)
      break()
    endif()
  endforeach()
  if(pybind11_DIR)
    find_package(Python3 QUIET COMPONENTS Interpreter Development.Module)
    if(Python3_FOUND)
      find_package(pybind11 CONFIG QUIET)
    endif()
  endif()
  if(Python3_FOUND AND pybind11_FOUND)
    set(SHINDO_PYTHON_FOUND ON)
    if(SHINDO_TESTS)
      execute_process(COMMAND "${Python3_EXECUTABLE}" -c "import numpy, pytest" RESULT_VARIABLE failed
                      OUTPUT_QUIET ERROR_QUIET)
      if(failed)
        list(APPEND SHINDO_LEFT_OUT "the Python tests (NumPy and pytest, Debian packages python3-numpy python3-pytest)")
      else()
        set(SHINDO_PYTHON_TESTS ON)
      endif()
    endif()
  else()
    list(APPEND SHINDO_LEFT_OUT
         "the Python module (Python headers, NumPy and pybind11, Debian packages python3-dev python3-numpy python3-pybind11)")
  endif()
endif()
