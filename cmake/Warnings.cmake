# Every target of the project builds with these warnings, and a warning is an error.
function(qv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
    -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports false positives for these in std::variant and std::string inlines under -O2.
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized -Wno-stringop-overflow -Wno-array-bounds -Wno-restrict)
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
