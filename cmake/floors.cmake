# The floors of the house, kept by the build.
#
# Includes are written from the source root ("cycle/rain_scan.h"), but no
# target sees the source root itself. Each folder has an include root in the
# build tree, include_roots/<folder>/, holding nothing but a link <folder> to
# the source folder. A folder's library has its own root as a PUBLIC include
# folder, so a file sees its own folder and the folders of the libraries its
# target links, directly or passed on, and no other: an include from a
# folder the target does not link does not compile.
#
# Which library may link which is the floor table below. nimbrel_check_floors(),
# called once every target is defined, fails the configuration when a folder's
# library links one on a higher floor or one aside, when libraries link each
# other round in a circle, when a library compiles a file of another folder,
# or when any target has a folder of the source tree (other than the build
# tree) as an include folder.

# The floors from the ground up, and the folders aside, which may use any
# floor but are used by none. scripts/check-floors.sh reads these two lines.
set(NIMBREL_FLOORS base=1 platform=2 settings=3 cycle=3 imaging=3 forecast=3 app=4)
set(NIMBREL_ASIDE service support bench)

get_filename_component(NIMBREL_TREE ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
# Folders seen under another name than their path: tests include the test
# helpers as "support/...".
set(NIMBREL_FOLDER_PATH_support tests/support)

foreach(entry ${NIMBREL_FLOORS})
  string(REPLACE "=" ";" entry ${entry})
  list(GET entry 0 folder)
  list(GET entry 1 floor)
  set(NIMBREL_FLOOR_${folder} ${floor})
endforeach()
foreach(folder ${NIMBREL_ASIDE})
  set(NIMBREL_FLOOR_${folder} aside)
endforeach()

# nimbrel_include_roots(<target> <PUBLIC|PRIVATE|INTERFACE> <folder>...)
# Lets <target> see the given folders, each through its include root.
function(nimbrel_include_roots target scope)
  foreach(folder ${ARGN})
    set(source ${NIMBREL_TREE}/${folder})
    if(DEFINED NIMBREL_FOLDER_PATH_${folder})
      set(source ${NIMBREL_TREE}/${NIMBREL_FOLDER_PATH_${folder}})
    endif()
    if(NOT IS_DIRECTORY ${source})
      message(FATAL_ERROR "include root of ${target}: no folder ${source}")
    endif()
    set(root ${CMAKE_BINARY_DIR}/include_roots/${folder})
    file(MAKE_DIRECTORY ${root})
    # A link, never a copy: a copy would go stale.
    file(CREATE_LINK ${source} ${root}/${folder} RESULT failed SYMBOLIC)
    if(failed)
      message(FATAL_ERROR "include root ${root}/${folder}: ${failed}")
    endif()
    target_include_directories(${target} ${scope} ${root})
  endforeach()
endfunction()

# nimbrel_floor_library(<target> <folder>)
# <target> is a library of <folder>: it sees its own folder, passes that on to
# whoever links it, and stands on the folder's floor.
function(nimbrel_floor_library target folder)
  if(NOT DEFINED NIMBREL_FLOOR_${folder})
    message(FATAL_ERROR "${target}: folder ${folder} is neither on a floor nor aside")
  endif()
  nimbrel_include_roots(${target} PUBLIC ${folder})
  set_property(TARGET ${target} PROPERTY NIMBREL_FOLDER ${folder})
  set_property(GLOBAL APPEND PROPERTY NIMBREL_FLOOR_LIBRARIES ${target})
endfunction()

function(_nimbrel_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    _nimbrel_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(nimbrel_check_floors)
  get_property(libs GLOBAL PROPERTY NIMBREL_FLOOR_LIBRARIES)
  set(problems "")

  foreach(lib ${libs})
    get_target_property(folder ${lib} NIMBREL_FOLDER)
    set(floor ${NIMBREL_FLOOR_${folder}})
    set(deps_${lib} "")
    get_target_property(links ${lib} LINK_LIBRARIES)
    foreach(dep ${links})
      if(NOT TARGET ${dep})
        continue()
      endif()
      get_target_property(dep_folder ${dep} NIMBREL_FOLDER)
      if(NOT dep_folder)
        continue()  # not one of ours: Qt, libpng, ...
      endif()
      list(APPEND deps_${lib} ${dep})
      set(dep_floor ${NIMBREL_FLOOR_${dep_folder}})
      if(floor STREQUAL "aside")
        continue()
      elseif(dep_floor STREQUAL "aside")
        list(APPEND problems "${lib} (${folder}/) links ${dep} (${dep_folder}/), which is aside")
      elseif(dep_floor GREATER floor)
        list(APPEND problems
             "${lib} (${folder}/, floor ${floor}) links ${dep} (${dep_folder}/, floor ${dep_floor}) above it")
      endif()
    endforeach()

    # Every file a library compiles lies in its folder.
    set(folder_path ${folder})
    if(DEFINED NIMBREL_FOLDER_PATH_${folder})
      set(folder_path ${NIMBREL_FOLDER_PATH_${folder}})
    endif()
    get_target_property(sources ${lib} SOURCES)
    get_target_property(source_dir ${lib} SOURCE_DIR)
    foreach(source ${sources})
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
      cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${source} NORMALIZE generated)
      set(folder_dir ${NIMBREL_TREE}/${folder_path})
      cmake_path(IS_PREFIX folder_dir ${source} NORMALIZE inside)
      if(NOT inside AND NOT generated)
        list(APPEND problems "${lib} (${folder}/) compiles ${source}, which is not in ${folder_path}/")
      endif()
    endforeach()
  endforeach()

  # No circles: a library never reaches itself through what it links.
  foreach(lib ${libs})
    set(seen "")
    set(todo ${deps_${lib}})
    while(todo)
      list(POP_FRONT todo dep)
      if(dep IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${dep})
      list(APPEND todo ${deps_${dep}})
    endwhile()
    if(lib IN_LIST seen)
      list(APPEND problems "${lib} reaches itself through what it links: a circle")
    endif()
  endforeach()

  # The source tree is seen only through the include roots.
  _nimbrel_targets_below(${CMAKE_SOURCE_DIR} targets)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY" OR type STREQUAL "GLOBAL_TARGET")
      continue()
    endif()
    set(dirs "")
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
      get_target_property(more ${target} ${property})
      if(more)
        list(APPEND dirs ${more})
      endif()
    endforeach()
    foreach(dir ${dirs})
      if(dir MATCHES "^\\$<")
        continue()
      endif()
      cmake_path(IS_PREFIX NIMBREL_TREE ${dir} NORMALIZE in_tree)
      cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${dir} NORMALIZE in_build)
      if(in_tree AND NOT in_build)
        list(APPEND problems "${target} has ${dir} as an include folder, but the tree is seen only through include roots")
      endif()
    endforeach()
  endforeach()

  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "The floors do not hold:\n  ${text}")
  endif()
endfunction()
