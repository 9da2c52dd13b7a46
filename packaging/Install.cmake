# The rules of `cmake --install`.
#
# Vantrel finds Osprel and its help document in its own directory and writes its results files
# there, so the three programs and the help live together in one program directory
# (<prefix>/lib/vantrel by default); <prefix>/bin gets links to the programs, which resolve to
# that directory when started.
include(GNUInstallDirs)

set(VANTREL_INSTALL_PROGRAMDIR "lib/vantrel" CACHE STRING
    "Directory, under the install prefix, that holds Vantrel, Osprel, simnet and the help document")
if(IS_ABSOLUTE "${VANTREL_INSTALL_PROGRAMDIR}")
  set(_vantrel_programdir_full "${VANTREL_INSTALL_PROGRAMDIR}")
else()
  set(_vantrel_programdir_full "${CMAKE_INSTALL_PREFIX}/${VANTREL_INSTALL_PROGRAMDIR}")
endif()

set(_vantrel_programs)
foreach(_program Vantrel Osprel simnet)
  if(TARGET ${_program})
    list(APPEND _vantrel_programs ${_program})
  endif()
endforeach()

install(TARGETS ${_vantrel_programs} RUNTIME DESTINATION ${VANTREL_INSTALL_PROGRAMDIR})
install(FILES ${CMAKE_SOURCE_DIR}/help/main.html DESTINATION ${VANTREL_INSTALL_PROGRAMDIR}/help)
install(FILES ${CMAKE_SOURCE_DIR}/help/main.html DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Links in bin/: relative, so the installed tree can be moved or packaged through DESTDIR.
file(RELATIVE_PATH _vantrel_bin_to_programdir "${CMAKE_INSTALL_FULL_BINDIR}" "${_vantrel_programdir_full}")
foreach(_program ${_vantrel_programs})
  install(CODE "
    set(_dir \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_dir}\")
    file(REMOVE \"\${_dir}/${_program}\")
    file(CREATE_LINK \"${_vantrel_bin_to_programdir}/${_program}\" \"\${_dir}/${_program}\" SYMBOLIC)
    message(STATUS \"Installing: \${_dir}/${_program} -> ${_vantrel_bin_to_programdir}/${_program}\")
  ")
endforeach()

# Desktop menu entry and icon.
set(VANTREL_DESKTOP_EXEC "${CMAKE_INSTALL_FULL_BINDIR}/Vantrel")
configure_file(${CMAKE_SOURCE_DIR}/packaging/vantrel.desktop.in ${CMAKE_BINARY_DIR}/packaging/vantrel.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/vantrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The window's own icon, so the menu entry and the running window look alike.
install(FILES ${CMAKE_SOURCE_DIR}/shell/resources/vantrel.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
