# velmora_library(<folder-name> DEPS <targets...>
#                 [WIDGETS <files...> WIDGET_DEPS <targets...>])
# One static library per top-level folder, named velmora_<folder>. Sources are picked
# up from the folder and its sub-folders, so adding a file needs no edit here.
# A folder with windows splits in two: the files named in WIDGETS (relative to the folder)
# form velmora_<folder>_widgets, which links velmora_<folder> and WIDGET_DEPS; everything
# else stays in velmora_<folder>, so that tools and logic tests link no widgets (and no
# browser engine). A folder whose logic part has no sources yet gets an interface target.
function(velmora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;WIDGETS;WIDGET_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  set(widget_sources "")
  foreach(file ${ARG_WIDGETS})
    list(APPEND widget_sources "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
  endforeach()
  if(widget_sources)
    list(REMOVE_ITEM sources ${widget_sources})
  endif()
  if(sources)
    add_library(velmora_${name} STATIC ${sources})
    target_include_directories(velmora_${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(velmora_${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(velmora_${name} INTERFACE)
    target_include_directories(velmora_${name} INTERFACE "${PROJECT_SOURCE_DIR}")
    target_link_libraries(velmora_${name} INTERFACE ${ARG_DEPS})
  endif()
  if(widget_sources)
    add_library(velmora_${name}_widgets STATIC ${widget_sources})
    target_include_directories(velmora_${name}_widgets PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(velmora_${name}_widgets PUBLIC velmora_${name} ${ARG_WIDGET_DEPS})
  endif()
endfunction()

# velmora_subfolders([EXCLUDE <names...>])
# Adds every sub-folder of the current folder that has a CMakeLists.txt (one tool, one
# benchmark or one subsystem's tests each), except those named in EXCLUDE, so that adding
# one needs no edit of its parent.
function(velmora_subfolders)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  file(GLOB dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*")
  foreach(dir ${dirs})
    get_filename_component(name "${dir}" NAME)
    if(IS_DIRECTORY "${dir}" AND EXISTS "${dir}/CMakeLists.txt" AND NOT name IN_LIST ARG_EXCLUDE)
      add_subdirectory("${dir}")
    endif()
  endforeach()
endfunction()

# velmora_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# A Qt Test executable registered with CTest. Widget tests run offscreen with a
# Russian locale pinned, as the workstations the program is made for. Every test links
# the helpers of tests/support, whose set-up makes a test started by hand behave as
# under CTest.
function(velmora_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test velmora_test_support ${ARG_LIBS})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}")
  target_compile_definitions(${name} PRIVATE
      VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      VELMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
      TIMEOUT ${ARG_TIMEOUT}
      LABELS "${ARG_LABELS}"
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8;${ARG_ENV}")
endfunction()

# velmora_program_test(<name> SOURCES <files...> [LIBS <targets...>])
# An end-to-end test of the real program under the X server of the test command, driven
# through XTest, with the console simulator and velmora-dbftool at hand
# (VELMORA_CONSOLESIM, VELMORA_DBFTOOL). Key presses go to the window that has the X
# server's focus and the screen is read: no other test may show windows on the same
# server meanwhile.
function(velmora_program_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  velmora_test(${name} SOURCES ${ARG_SOURCES}
               LIBS velmora_app velmora_test_xdriver xcb ${ARG_LIBS}
               LABELS xvfb slow ENV QT_QPA_PLATFORM=xcb TIMEOUT 300)
  add_dependencies(${name} velmora velmora-consolesim velmora-dbftool)
  set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  target_compile_definitions(${name} PRIVATE
      VELMORA_CONSOLESIM="$<TARGET_FILE:velmora-consolesim>"
      VELMORA_DBFTOOL="$<TARGET_FILE:velmora-dbftool>")
endfunction()
