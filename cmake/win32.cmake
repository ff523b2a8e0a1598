# Windows build: the GUI program, the console companion and the Windows test
# programs that drive them under Wine.
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
# The two programs ship alone: drop unused code and the symbol table.
set(PRODUCT_LINK ${STATIC_RUNTIME} -s -Wl,--gc-sections)
# Optimised for size: the programs wait on the network, not on their own code.
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
add_compile_options(-ffunction-sections -fdata-sections)
target_compile_options(lanchuan_core PRIVATE -ffunction-sections -fdata-sections)
# ole32, oleaut32 and the shell's ShellExecuteA are not linked: only some
# commands need them, so they are looked up at their first call
# (platform/win32/com_win32.cpp), from the system folder.
set(WIN_LIBS uuid gdi32 user32 advapi32 ws2_32)
target_compile_definitions(lanchuan_core PUBLIC WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)

add_library(lanchuan_win32 STATIC ${WIN32_SOURCES})
target_link_libraries(lanchuan_win32 PUBLIC lanchuan_core ${WIN_LIBS})
target_compile_options(lanchuan_win32 PRIVATE ${LANCHUAN_WARNINGS})

file(GLOB RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/*.rc)
add_executable(LanchuanTimeSync WIN32 programs/main_win32.cpp ${RESOURCE_FILES})
target_link_libraries(LanchuanTimeSync PRIVATE lanchuan_win32)
target_link_options(LanchuanTimeSync PRIVATE ${PRODUCT_LINK})
target_compile_options(LanchuanTimeSync PRIVATE ${LANCHUAN_WARNINGS})
# windres reads the .rc as UTF-8 and writes GBK string tables where asked.
# windres reports no dependencies, so the pictures, the icon and the manifest
# are named here: a changed picture rebuilds the resources.
file(GLOB RESOURCE_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/images/* ${CMAKE_SOURCE_DIR}/ui/*.manifest
     ${CMAKE_SOURCE_DIR}/ui/resource_ids.h)
set_source_files_properties(${RESOURCE_FILES} PROPERTIES COMPILE_FLAGS "-c 65001"
                                                         OBJECT_DEPENDS "${RESOURCE_INPUTS}")

add_executable(LanchuanTimeSyncCli programs/cli_main_win32.cpp)
target_link_libraries(LanchuanTimeSyncCli PRIVATE lanchuan_win32)
target_link_options(LanchuanTimeSyncCli PRIVATE ${PRODUCT_LINK})
target_compile_options(LanchuanTimeSyncCli PRIVATE ${LANCHUAN_WARNINGS})

include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake)
