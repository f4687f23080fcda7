# One library per folder, each seeing only the folders it may use, so that an
# include that runs the wrong way fails to build. Every library gets an
# include root of its own in the build tree that holds links to exactly its
# allowed folders; the source tree itself is not on its include path.
#
#   ovarn_layer(NAME FOLDER USES f1 f2 ... [LINKS lib ...] SOURCES ...)
function(ovarn_layer name folder)
  cmake_parse_arguments(LAYER "" "" "USES;LINKS;SOURCES" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  foreach(used IN LISTS folder LAYER_USES)
    if(NOT EXISTS ${root}/${used})
      cmake_path(GET used PARENT_PATH parent)
      if(parent)
        file(MAKE_DIRECTORY ${root}/${parent})
      endif()
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${used} ${root}/${used} SYMBOLIC)
    endif()
  endforeach()
  list(TRANSFORM LAYER_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/${folder}/)
  add_library(${name} STATIC ${LAYER_SOURCES})
  # The include root is PRIVATE: a library's users see only their own root.
  target_include_directories(${name} PRIVATE ${root})
  target_compile_options(${name} PRIVATE ${OVARN_WARNINGS})
  target_link_libraries(${name} PUBLIC ${LAYER_LINKS})
endfunction()
