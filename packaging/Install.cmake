# The rules of `cmake --install`.
#
# Vantrel and vantrel-run find Osprel and the help document in their own directory, where
# Vantrel also writes its results files, so the programs and the help live together in one
# program directory (<prefix>/lib/vantrel by default); <prefix>/bin gets links to the
# programs, which resolve to that directory when started.
#
# On Windows the prefix itself is the program directory (as under Program Files), and the
# install step also copies beside the programs the Qt libraries, plugins and compiler run-time
# libraries they load: packaging/WindowsDeploy.cmake.
include(GNUInstallDirs)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDeploy.cmake)
  return()
endif()

set(VANTREL_INSTALL_PROGRAMDIR "lib/vantrel" CACHE STRING
    "Directory, under the install prefix, that holds Vantrel, vantrel-run, Osprel, simnet and the help document")

set(_vantrel_programs)
foreach(_program Vantrel vantrel-run Osprel simnet)
  if(TARGET ${_program})
    list(APPEND _vantrel_programs ${_program})
  endif()
endforeach()

install(TARGETS ${_vantrel_programs} RUNTIME DESTINATION ${VANTREL_INSTALL_PROGRAMDIR})
install(FILES ${CMAKE_SOURCE_DIR}/help/main.html DESTINATION ${VANTREL_INSTALL_PROGRAMDIR}/help)
install(FILES ${CMAKE_SOURCE_DIR}/help/main.html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)

# Links in bin/, relative, worked out when installing so that `--prefix` and DESTDIR are honoured.
install(CODE "
  set(_vantrel_bindir \"${CMAKE_INSTALL_BINDIR}\")
  set(_vantrel_programdir \"${VANTREL_INSTALL_PROGRAMDIR}\")
  set(_vantrel_programs \"${_vantrel_programs}\")
")
install(CODE [[
  foreach(_var _vantrel_bindir _vantrel_programdir)
    if(NOT IS_ABSOLUTE "${${_var}}")
      set(${_var} "${CMAKE_INSTALL_PREFIX}/${${_var}}")
    endif()
  endforeach()
  file(RELATIVE_PATH _vantrel_rel "${_vantrel_bindir}" "${_vantrel_programdir}")
  set(_vantrel_linkdir "$ENV{DESTDIR}${_vantrel_bindir}")
  file(MAKE_DIRECTORY "${_vantrel_linkdir}")
  foreach(_program IN LISTS _vantrel_programs)
    file(REMOVE "${_vantrel_linkdir}/${_program}")
    file(CREATE_LINK "${_vantrel_rel}/${_program}" "${_vantrel_linkdir}/${_program}" SYMBOLIC)
    message(STATUS "Installing: ${_vantrel_linkdir}/${_program} -> ${_vantrel_rel}/${_program}")
  endforeach()
]])

# Desktop menu entry and icon (the window's own icon, so the entry and the window look alike).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/vantrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/shell/resources/vantrel.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
