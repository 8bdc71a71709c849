# Every target of the project builds with these warnings. They are errors where they help:
# in CI and in the developers' test command (scripts/test.sh turns QV_WERROR on). A user's or
# packager's build leaves them warnings, so that a newer compiler's false positive in a
# configuration CI does not cover cannot stop it.
option(QV_WERROR "Treat compiler warnings as errors" OFF)

function(qv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
  if(QV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A library made of every .cpp of the calling folder.
function(qv_module_library target)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _srcs)
    set(_srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${target} STATIC ${_srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  qv_warnings(${target})
endfunction()

# qv_gcc_false_positive(TARGET target WARNING name FILES file...): switches one GCC warning
# off for the named source files of one target, and for GCC only. Each call says at its
# place which false positive it answers; nothing else is silenced.
function(qv_gcc_false_positive)
  cmake_parse_arguments(F "" "TARGET;WARNING" "FILES" ${ARGN})
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  list(TRANSFORM F_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set_property(SOURCE ${F_FILES} TARGET_DIRECTORY ${F_TARGET} APPEND PROPERTY COMPILE_OPTIONS -Wno-${F_WARNING})
endfunction()
