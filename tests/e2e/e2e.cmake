# Windows test programs: GoogleTest built from Debian's sources with MinGW.
# Each tests/e2e/*_test.cpp becomes one exe; the native build registers them
# with ctest through tests/rig/wine_test.sh (one throwaway Wine prefix each).
set(GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB E2E_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/support/*.cpp)
add_library(e2e_support STATIC ${E2E_SUPPORT})
target_include_directories(e2e_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR})
target_link_libraries(e2e_support PUBLIC lanchuan_win32 gtest)
target_compile_options(e2e_support PRIVATE ${LANCHUAN_WARNINGS})

file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_test.cpp)
foreach(src ${E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(e2e_${name} ${src})
  target_link_libraries(e2e_${name} PRIVATE e2e_support gtest_main)
  target_link_options(e2e_${name} PRIVATE ${STATIC_RUNTIME})
  target_compile_options(e2e_${name} PRIVATE ${LANCHUAN_WARNINGS})
  add_dependencies(e2e_${name} LanchuanTimeSync LanchuanTimeSyncCli)
endforeach()

# A library to plant beside a program, and a program that loads one by name
# (tests/e2e/planted); the library search test copies both where it needs them.
add_library(e2e_planted SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/planted/planted_dll.cpp)
set_target_properties(e2e_planted PROPERTIES PREFIX "" OUTPUT_NAME planted)
target_link_options(e2e_planted PRIVATE ${STATIC_RUNTIME})
add_executable(e2e_load_by_name ${CMAKE_SOURCE_DIR}/tests/e2e/planted/load_by_name.cpp)
target_link_options(e2e_load_by_name PRIVATE ${STATIC_RUNTIME})
foreach(src ${E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_dependencies(e2e_${name} e2e_planted e2e_load_by_name)
endforeach()
