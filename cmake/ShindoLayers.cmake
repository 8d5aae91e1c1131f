# The layers of the project and the one-way rule between them.
#
# Each layer is a folder and a static library `shindo_<folder>` (alias
# `shindo::<folder>`). Its headers are included as "<folder>/name.h", and the
# only way to reach them is to link the layer: the folder is seen through an
# include root of its own in the build tree (build/layers/<folder>/<folder>,
# a link to the source folder), never through the source root. A layer that
# includes the header of a layer it does not link fails to compile.
#
#   console  ─┬─> recio ──> numtext
#             ├─> numtext
#             └─> core
#   batch    ─┬─> readers ──> numtext
#             ├─> pictures ─┬─> core
#             │             └─> numtext
#             ├─> numtext
#             └─> core
#
# The same map, as the folders each layer may include, is checked over the
# sources by the test `layer_includes` (cmake/check_layers.cmake).

# The include root of FOLDER: a folder holding one link, FOLDER, to the source.
function(shindo_layer_root folder source out_root)
  set(root ${PROJECT_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  file(REMOVE ${root}/${folder})
  file(CREATE_LINK ${source} ${root}/${folder} SYMBOLIC)
  set(${out_root} ${root} PARENT_SCOPE)
endfunction()

# shindo_layer(FOLDER [PUBLIC layer...] [PRIVATE layer...] [EXCLUDE file...])
# The library of the layer in the current folder, from its *.cpp files.
function(shindo_layer folder)
  cmake_parse_arguments(LAYER "" "" "PUBLIC;PRIVATE;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded ${LAYER_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(target shindo_${folder})
  add_library(${target} STATIC ${sources})
  add_library(shindo::${folder} ALIAS ${target})
  shindo_layer_root(${folder} ${CMAKE_CURRENT_SOURCE_DIR} root)
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_link_libraries(${target} PUBLIC ${LAYER_PUBLIC} PRIVATE ${LAYER_PRIVATE})
endfunction()
