# `cmake --install` on Windows: the programs, the help document, and what they load beside them,
# laid out as Qt's windeployqt lays it out (that tool is not part of a cross-built Qt):
#
#   Vantrel.exe Osprel.exe [vantrel-run.exe]  help\main.html
#   Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll     platforms\qwindows.dll  styles\qwindowsvistastyle.dll
#   libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll   (MinGW builds: Qt's own dependencies)
#
# The prefix is the program directory. The MSI (scripts/package-windows.sh) packs this tree.

set(_vantrel_programs)
foreach(_program Vantrel Osprel vantrel-run)
  if(TARGET ${_program})
    list(APPEND _vantrel_programs ${_program})
  endif()
endforeach()
install(TARGETS ${_vantrel_programs} RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/help/main.html DESTINATION help)

if(NOT VANTREL_WITH_QT)
  return()
endif()

foreach(_module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${_module}> DESTINATION .)
endforeach()
# The windows platform plugin draws the window; the Vista style gives it the system's look.
foreach(_plugin QWindowsIntegrationPlugin:platforms QWindowsVistaStylePlugin:styles)
  string(REPLACE ":" ";" _plugin ${_plugin})
  list(GET _plugin 0 _target)
  list(GET _plugin 1 _folder)
  if(TARGET Qt6::${_target})
    install(FILES $<TARGET_FILE:Qt6::${_target}> DESTINATION ${_folder})
  else()
    message(WARNING "Qt for Windows has no ${_target}: the installed program will lack it")
  endif()
endforeach()

# Vantrel's own programs link the compiler's libraries statically; a MinGW-built Qt loads them
# as DLLs.
if(MINGW)
  foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
      # libwinpthread lives with the target's libraries rather than the compiler's.
      find_file(_path_${_dll} ${_dll} PATHS ${CMAKE_FIND_ROOT_PATH} PATH_SUFFIXES lib bin
                NO_DEFAULT_PATH)
      set(_path "${_path_${_dll}}")
    endif()
    if(EXISTS "${_path}")
      install(FILES "${_path}" DESTINATION .)
    else()
      message(WARNING "${_dll} not found: Qt's DLLs will not load without it")
    endif()
  endforeach()
endif()
