# SPDX-License-Identifier: GPL-3.0-or-later
# The libraries in layers, lowest first. A library links only libraries of a lower layer, and
# includes only headers of its own sources or of the libraries it links (directly or through
# them). The two radar tabs share a layer, so neither can reach into the other. Programs, tests
# and benchmarks sit above all of them; only they may link the virtual kit's library beside the
# command-line core. kvvlx_check_layers() stops the configure step at the first violation.
set(KVVLX_LAYERS
  kvvlx_kit 0
  kvvlx_dsp 1   kvvlx_link 1
  kvvlx_capture 2   kvvlx_btproto 2
  kvvlx_sim 3   kvvlx_widgets 3
  kvvlx_radar 4   kvvlx_bt 4
  kvvlx_app 5
  kvvlx_cli_core 6)

# Headers that tie a library to one platform; the virtual kit is the only library allowed them,
# apart from a file named *Posix.cpp: the POSIX build of a piece whose portable build is beside it.
set(KVVLX_POSIX_ONLY unistd.h termios.h pty.h fcntl.h poll.h dlfcn.h pthread.h "sys/[a-z_]+.h")

function(_kvvlx_layer_of target out)
  list(FIND KVVLX_LAYERS ${target} i)
  if(i EQUAL -1)
    set(${out} "" PARENT_SCOPE)
  else()
    math(EXPR i "${i} + 1")
    list(GET KVVLX_LAYERS ${i} layer)
    set(${out} ${layer} PARENT_SCOPE)
  endif()
endfunction()

# Our libraries that target links, directly or through others.
function(_kvvlx_reach target out)
  set(reach "")
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo t)
    get_target_property(libs ${t} LINK_LIBRARIES)
    foreach(lib IN LISTS libs)
      if(lib MATCHES "^kvvlx_" AND NOT lib IN_LIST reach)
        list(APPEND reach ${lib})
        list(APPEND todo ${lib})
      endif()
    endforeach()
  endwhile()
  set(${out} ${reach} PARENT_SCOPE)
endfunction()

function(_kvvlx_sources target out)
  get_target_property(dir ${target} SOURCE_DIR)
  get_target_property(srcs ${target} SOURCES)
  set(files "")
  foreach(src IN LISTS srcs)
    if(src MATCHES "\\.(h|cpp)$")
      cmake_path(ABSOLUTE_PATH src BASE_DIRECTORY ${dir} NORMALIZE OUTPUT_VARIABLE abs)
      cmake_path(RELATIVE_PATH abs BASE_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE rel)
      list(APPEND files ${rel})
    endif()
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(kvvlx_check_layers)
  set(targets "")
  foreach(item IN LISTS KVVLX_LAYERS)
    if(item MATCHES "^kvvlx_" AND TARGET ${item})
      list(APPEND targets ${item})
      _kvvlx_sources(${item} files)
      foreach(f IN LISTS files)
        if(f MATCHES "\\.h$")
          set(owner_${f} ${item})
        endif()
      endforeach()
    endif()
  endforeach()
  list(JOIN KVVLX_POSIX_ONLY "|" posix)

  foreach(t IN LISTS targets)
    _kvvlx_layer_of(${t} layer)
    get_target_property(libs ${t} LINK_LIBRARIES)
    foreach(lib IN LISTS libs)
      if(lib MATCHES "^kvvlx_")
        _kvvlx_layer_of(${lib} below)
        if(below STREQUAL "" OR NOT below LESS layer)
          message(FATAL_ERROR "Layers: ${t} (layer ${layer}) links ${lib} (layer '${below}')")
        endif()
      endif()
    endforeach()

    _kvvlx_reach(${t} reach)
    _kvvlx_sources(${t} files)
    foreach(f IN LISTS files)
      file(STRINGS ${CMAKE_SOURCE_DIR}/${f} includes REGEX "^#include")
      foreach(line IN LISTS includes)
        if(line MATCHES "^#include \"([a-z]+/[A-Za-z0-9_]+\\.h)\"")
          set(header ${CMAKE_MATCH_1})
          set(owner "${owner_${header}}")
          cmake_path(GET header PARENT_PATH header_dir)
          cmake_path(GET f PARENT_PATH file_dir)
          if(owner STREQUAL "" AND header_dir STREQUAL file_dir)
            # A header of another platform's build of the same library.
          elseif(owner STREQUAL "")
            message(FATAL_ERROR "Layers: ${f} includes ${header}, which no library holds")
          elseif(NOT owner STREQUAL t AND NOT owner IN_LIST reach)
            message(FATAL_ERROR "Layers: ${f} (${t}) includes ${header} of ${owner}, "
                                "which ${t} does not link")
          endif()
        elseif(line MATCHES "^#include <(${posix})>" AND NOT t STREQUAL "kvvlx_sim")
          set(posix_header ${CMAKE_MATCH_1})
          if(NOT f MATCHES "Posix\\.cpp$")
            message(FATAL_ERROR "Layers: ${f} (${t}) includes the POSIX-only <${posix_header}>")
          endif()
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
