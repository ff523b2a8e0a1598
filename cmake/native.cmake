# Native build: the portable logic and its unit tests under ASan and UBSan.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(lanchuan_core PUBLIC ${SANITIZE} -g)
target_link_options(lanchuan_core PUBLIC ${SANITIZE})

set(GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main gmock)
  target_compile_options(${t} PRIVATE ${SANITIZE} -g)
endforeach()

file(GLOB_RECURSE UNIT_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp ${CMAKE_SOURCE_DIR}/tests/fakes/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(unit_tests PRIVATE ${LANCHUAN_WARNINGS})
target_compile_definitions(unit_tests PRIVATE LANCHUAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(unit_tests PRIVATE lanchuan_core gmock gtest_main)

include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)

# Optional extra native targets (fuzzers, tools) add themselves here.
file(GLOB NATIVE_EXTRAS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*/native.cmake)
foreach(extra ${NATIVE_EXTRAS})
  include(${extra})
endforeach()

# The Windows test programs, run under Wine by the rig. They are built by the
# win32 configuration (LANCHUAN_WIN32_DIR); registering them here gives one
# ctest run, and one summary, for every test of the project.
set(LANCHUAN_WIN32_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH "win32 build folder")
set(LANCHUAN_WIN64_DIR ${CMAKE_SOURCE_DIR}/build/win64 CACHE PATH "win64 build folder")
file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_test.cpp)
foreach(src ${E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_test(NAME e2e.${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/rig/wine_test.sh e2e_${name}.exe)
  set_tests_properties(e2e.${name} PROPERTIES LABELS e2e TIMEOUT 900 RESOURCE_LOCK wine
    ENVIRONMENT "LANCHUAN_WIN32_DIR=${LANCHUAN_WIN32_DIR};LANCHUAN_WIN64_DIR=${LANCHUAN_WIN64_DIR}")
  # Test programs named *offline* run where Wine reports no network connection.
  if(name MATCHES "offline")
    set_property(TEST e2e.${name} APPEND PROPERTY ENVIRONMENT "LANCHUAN_OFFLINE=1")
  endif()
endforeach()
# The console companion's task XML, read back by an XML parser on this side.
add_test(NAME e2e.schedule_export
  COMMAND ${CMAKE_SOURCE_DIR}/tests/rig/wine_test.sh --script
          ${CMAKE_SOURCE_DIR}/tests/e2e/schedule_export.sh)
set_tests_properties(e2e.schedule_export PROPERTIES LABELS e2e TIMEOUT 300 RESOURCE_LOCK wine
  ENVIRONMENT "LANCHUAN_WIN32_DIR=${LANCHUAN_WIN32_DIR};LANCHUAN_WIN64_DIR=${LANCHUAN_WIN64_DIR}")

# The release's MSI installed, upgraded and removed by Wine's msiexec (77:
# skipped where Wine runs the 64-bit build, since the MSI holds the 32-bit one).
add_test(NAME e2e.msi_package
  COMMAND ${CMAKE_SOURCE_DIR}/tests/rig/wine_test.sh --script
          ${CMAKE_SOURCE_DIR}/tests/e2e/msi_package.sh)
set_tests_properties(e2e.msi_package PROPERTIES LABELS e2e TIMEOUT 600 RESOURCE_LOCK wine
  SKIP_RETURN_CODE 77
  ENVIRONMENT "LANCHUAN_WIN32_DIR=${LANCHUAN_WIN32_DIR};LANCHUAN_WIN64_DIR=${LANCHUAN_WIN64_DIR}")
# release.sh --sign: Authenticode with a test certificate, verified and
# tampered with; and the release gate. No Wine.
add_test(NAME release.sign_and_gate
  COMMAND ${CMAKE_SOURCE_DIR}/tests/release/sign_and_gate.sh ${LANCHUAN_WIN32_DIR})
set_tests_properties(release.sign_and_gate PROPERTIES LABELS unit TIMEOUT 300)

# Without running them: every call the product exes make through their import
# section goes through a slot the loader fills (a slot it does not fill holds
# zero, and the first call faults).
foreach(arch win32 win64)
  if(arch STREQUAL win32)
    set(objdump i686-w64-mingw32-objdump)
    set(dir ${LANCHUAN_WIN32_DIR})
  else()
    set(objdump x86_64-w64-mingw32-objdump)
    set(dir ${LANCHUAN_WIN64_DIR})
  endif()
  foreach(program LanchuanTimeSync LanchuanTimeSyncCli)
    add_test(NAME imports.${arch}.${program}
      COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/rig/import_slots.py ${objdump} ${dir}/${program}.exe)
    set_tests_properties(imports.${arch}.${program} PROPERTIES LABELS unit)
  endforeach()
endforeach()
