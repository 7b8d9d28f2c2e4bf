# velmora_library(<folder-name> DEPS <targets...>)
# One static library per top-level folder, named velmora_<folder>. Sources are picked
# up from the folder and its sub-folders, so adding a file needs no edit here.
function(velmora_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_library(velmora_${name} STATIC ${sources})
  target_include_directories(velmora_${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(velmora_${name} PUBLIC ${ARG_DEPS})
endfunction()

# velmora_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# A Qt Test executable registered with CTest. Widget tests run offscreen with a
# Russian locale pinned, as the workstations the program is made for.
function(velmora_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
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
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8;QTWEBENGINE_DISABLE_SANDBOX=1;${ARG_ENV}")
endfunction()
