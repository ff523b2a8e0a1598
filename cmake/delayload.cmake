# Libraries that only some features need (the time query's request object, the
# logon shortcut, opening a web address) are loaded at their first call instead
# of with the program (WinINet, which only the update fetch needs, and the
# shell's library, which the tray icon needs for a moment, are loaded and freed
# around their calls): a delay-import library per DLL, made by dlltool from the list
# of functions in cmake/delayload/<dll>.def. A function missing from the list
# fails the link, so the list cannot fall behind the code.
# Sets LANCHUAN_DELAYED_LIBS to the libraries to link instead of the DLLs'
# import libraries.
if(NOT CMAKE_DLLTOOL)
  string(REGEX REPLACE "gcc(-posix)?$" "dlltool" CMAKE_DLLTOOL "${CMAKE_C_COMPILER}")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(delay_machine i386:x86-64)
else()
  set(delay_machine i386)
endif()

set(LANCHUAN_DELAYED_LIBS)
foreach(dll ole32 oleaut32 shell32)
  set(def_in ${CMAKE_SOURCE_DIR}/cmake/delayload/${dll}.def)
  set(def_out ${CMAKE_BINARY_DIR}/delayload/${dll}.def)
  set(lib ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delayed.a)
  # The list carries the 32-bit stdcall sizes; 64-bit names have none.
  file(READ ${def_in} def_text)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
  endif()
  file(WRITE ${def_out}.in "${def_text}")
  configure_file(${def_out}.in ${def_out} COPYONLY)
  add_custom_command(OUTPUT ${lib}
                     COMMAND ${CMAKE_DLLTOOL} --machine ${delay_machine} --kill-at
                             --input-def ${def_out} --output-delaylib ${lib}
                     DEPENDS ${def_out} ${def_in}
                     COMMENT "delay-import library for ${dll}.dll")
  add_custom_target(delayed_${dll} DEPENDS ${lib})
  add_library(lanchuan_delayed_${dll} STATIC IMPORTED)
  set_target_properties(lanchuan_delayed_${dll} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(lanchuan_delayed_${dll} delayed_${dll})
  list(APPEND LANCHUAN_DELAYED_LIBS lanchuan_delayed_${dll})
endforeach()
