# One library per folder, each seeing only the folders it may use, so that an
# include that runs the wrong way fails to build, in a fresh build tree and in
# one built before alike. Every library gets an include root of its own in
# the build tree that holds links to exactly its allowed folders; the source
# tree itself is not on its include path.
#
#   ovarn_layer(NAME FOLDER [ALONE] USES f1 f2 ... [LINKS lib ...]
#               [GENERATED file.in ...] SOURCES ... [TESTS ...])
#
# USES names the folders (or single headers, as folder/file.h) that the
# layer's own sources include; what those folders' layers use in turn is
# added, as their headers may include it. A used folder's layer is linked;
# a used header alone is not. GENERATED files are configured into the
# layer's generated root as FOLDER/file, seen by every layer that uses
# FOLDER. TESTS are the unit tests beside the sources. ALONE declares the
# library of a program of its own, left out of the main program's layers.
#
# Every configure lays each include root afresh: a folder taken out of USES
# is gone from the root, and an object that included it builds no more.

# Removes a laid include root: links are removed as links, never followed.
function(ovarn_remove_root dir)
  file(GLOB entries LIST_DIRECTORIES true "${dir}/*")
  foreach(entry IN LISTS entries)
    if(IS_SYMLINK ${entry} OR NOT IS_DIRECTORY ${entry})
      file(REMOVE ${entry})
    else()
      ovarn_remove_root(${entry})
    endif()
  endforeach()
  file(REMOVE ${dir})
  if(EXISTS ${dir})
    file(REMOVE_RECURSE ${dir})  # an empty directory by now
  endif()
endfunction()

# Lays root afresh with a link to each source folder or file given.
function(ovarn_include_root root)
  if(EXISTS ${root})
    ovarn_remove_root(${root})
  endif()
  file(MAKE_DIRECTORY ${root})
  foreach(used IN LISTS ARGN)
    cmake_path(GET used PARENT_PATH parent)
    if(parent)
      file(MAKE_DIRECTORY ${root}/${parent})
    endif()
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${used} ${root}/${used} SYMBOLIC)
  endforeach()
endfunction()

# The folders and headers that uses reach: themselves and what their layers
# use. A header of a folder whose whole folder is reached is dropped.
function(ovarn_reach out)
  set(reach)
  foreach(used IN LISTS ARGN)
    list(APPEND reach ${used})
    string(REGEX REPLACE "/.*" "" top ${used})
    get_property(layer GLOBAL PROPERTY OVARN_LAYER_OF_${top})
    if(layer)
      get_target_property(more ${layer} OVARN_REACH)
      list(APPEND reach ${more})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set(kept)
  foreach(used IN LISTS reach)
    string(REGEX REPLACE "/.*" "" top ${used})
    if(used STREQUAL top OR NOT top IN_LIST reach)
      list(APPEND kept ${used})
    endif()
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# The include directories that a set of reached folders brings: the
# generated roots of their layers.
function(ovarn_generated_roots out)
  set(roots)
  foreach(used IN LISTS ARGN)
    get_property(layer GLOBAL PROPERTY OVARN_LAYER_OF_${used})
    if(layer)
      get_target_property(root ${layer} OVARN_GENERATED_ROOT)
      if(root)
        list(APPEND roots ${root})
      endif()
    endif()
  endforeach()
  set(${out} ${roots} PARENT_SCOPE)
endfunction()

function(ovarn_layer name folder)
  cmake_parse_arguments(LAYER "ALONE" "" "USES;LINKS;GENERATED;SOURCES;TESTS" ${ARGN})
  ovarn_reach(reach ${LAYER_USES})
  ovarn_include_root(${CMAKE_BINARY_DIR}/layers/${name} ${folder} ${reach})

  list(TRANSFORM LAYER_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/${folder}/)
  add_library(${name} STATIC ${LAYER_SOURCES})
  set_property(GLOBAL PROPERTY OVARN_LAYER_OF_${folder} ${name})
  set_target_properties(${name} PROPERTIES OVARN_REACH "${reach}" OVARN_FOLDER ${folder})

  if(LAYER_GENERATED)
    set(generated_root ${CMAKE_BINARY_DIR}/generated/layers/${folder})
    foreach(input IN LISTS LAYER_GENERATED)
      string(REGEX REPLACE "\\.in$" "" output ${input})
      configure_file(${CMAKE_SOURCE_DIR}/${folder}/${input} ${generated_root}/${folder}/${output} @ONLY)
    endforeach()
    set_target_properties(${name} PROPERTIES OVARN_GENERATED_ROOT ${generated_root})
  endif()

  # The include roots are PRIVATE: a library's users see only their own.
  ovarn_generated_roots(generated ${folder} ${reach})
  target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/layers/${name} ${generated})
  target_compile_options(${name} PRIVATE ${OVARN_WARNINGS})

  # The layers of the used folders are linked, a used header's is not.
  set(links)
  foreach(used IN LISTS LAYER_USES)
    get_property(layer GLOBAL PROPERTY OVARN_LAYER_OF_${used})
    if(layer)
      list(APPEND links ${layer})
    endif()
  endforeach()
  target_link_libraries(${name} PUBLIC ${links} ${LAYER_LINKS})

  # The layers linked, this one first and each before those it needs: the
  # order in which a program outside this build links them.
  set(closure)
  foreach(layer IN LISTS links)
    get_target_property(more ${layer} OVARN_LINK_ORDER)
    list(APPEND closure ${more})
  endforeach()
  list(REVERSE closure)
  list(REMOVE_DUPLICATES closure)
  list(REVERSE closure)
  set_target_properties(${name} PROPERTIES OVARN_LINK_ORDER "${name};${closure}")

  if(NOT LAYER_ALONE)
    set_property(GLOBAL APPEND PROPERTY OVARN_LAYERS ${name})
    list(TRANSFORM LAYER_TESTS PREPEND ${CMAKE_SOURCE_DIR}/${folder}/)
    set_property(GLOBAL APPEND PROPERTY OVARN_UNIT_TESTS ${LAYER_TESTS})
  endif()

  # What a project outside this build (bench/) needs to build against the
  # layer: its include roots and its libraries in link order.
  set(files)
  foreach(layer IN LISTS name closure)
    list(APPEND files "$<TARGET_FILE:${layer}>")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/layers/${name}.cmake CONTENT
"set(${name}_INCLUDE_DIRS \"${CMAKE_BINARY_DIR}/layers/${name};${generated}\")
set(${name}_LIBRARIES \"${files}\")
")
endfunction()

# Every layer of the main program from the top down (each before those it
# uses), for the builds that take all of them: unit tests, fuzzing, the
# variant builds of the tests.
function(ovarn_main_layers out)
  get_property(layers GLOBAL PROPERTY OVARN_LAYERS)
  list(REVERSE layers)
  set(${out} ${layers} PARENT_SCOPE)
endfunction()

# An include root at root that sees every folder of the main program's
# layers and the folders given, with their generated roots: for the unit
# tests and fuzzers, which reach into every layer. Sets out to its include
# directories.
function(ovarn_whole_root out root)
  ovarn_main_layers(layers)
  set(folders)
  foreach(layer IN LISTS layers)
    get_target_property(folder ${layer} OVARN_FOLDER)
    list(APPEND folders ${folder})
  endforeach()
  ovarn_include_root(${root} ${folders} ${ARGN})
  ovarn_generated_roots(generated ${folders})
  set(${out} ${root} ${generated} PARENT_SCOPE)
endfunction()
