# Import libraries that load their DLL at its first call instead of at process start. A second
# launch only hands its files to the running player and ends: it never draws a themed text or
# shows a task dialog, and Wine spends about 15 ms starting uxtheme and comctl32 in every process.
# The stdcall argument sizes name the 32-bit symbols; the DLLs export the plain names.
function(lumetra_delay_import_library target dll)
  set(def ${CMAKE_BINARY_DIR}/delayload/${target}.def)
  set(lib ${CMAKE_BINARY_DIR}/delayload/lib${target}.a)
  set(text "LIBRARY ${dll}\nEXPORTS\n")
  foreach(symbol IN LISTS ARGN)
    if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(REGEX REPLACE "@[0-9]+$" "" symbol ${symbol})
    endif()
    string(APPEND text "${symbol}\n")
  endforeach()
  file(WRITE ${def}.in "${text}")
  configure_file(${def}.in ${def} COPYONLY)  # rewritten only when it changes
  set(kill_at "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kill_at -k)
  endif()
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${def} --output-delaylib ${lib} --dllname ${dll}
    DEPENDS ${def} VERBATIM)
  add_custom_target(${target}_implib DEPENDS ${lib})
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(${target} ${target}_implib)
endfunction()

lumetra_delay_import_library(uxtheme_delayed uxtheme.dll OpenThemeData@8 CloseThemeData@4 DrawThemeTextEx@36)
lumetra_delay_import_library(comctl32_delayed comctl32.dll TaskDialogIndirect@16)
