# Registers a short run of every fuzz target with ctest. The targets are built
# by run.sh in their own clang project (tests/fuzz/CMakeLists.txt), never by
# this g++ build.
add_test(NAME fuzz.smoke COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run.sh 5)
set_tests_properties(fuzz.smoke PROPERTIES LABELS fuzz TIMEOUT 600)
