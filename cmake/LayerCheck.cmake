# The layer check: scripts/check_layers.py reads every #include under src/ and fails the
# build when a file includes a header of a layer above it, a sibling's, or test code. It
# runs whenever a source file changes, before the lowest library (qv_io) is built, so no
# target builds past a wrong include.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB_RECURSE _qv_layer_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/src/*.cpp)
set(_qv_layer_stamp ${PROJECT_BINARY_DIR}/layer_check.stamp)
add_custom_command(OUTPUT ${_qv_layer_stamp}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check_layers.py ${PROJECT_SOURCE_DIR}/src
  COMMAND ${CMAKE_COMMAND} -E touch ${_qv_layer_stamp}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/check_layers.py ${_qv_layer_sources}
  COMMENT "Checking that no include runs against the layers")
add_custom_target(qv_layer_check ALL DEPENDS ${_qv_layer_stamp})
