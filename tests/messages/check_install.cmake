# Installs the build into a scratch prefix and checks what a desktop user relies on: the
# programs reachable from bin/, each link landing in the program directory beside the help
# document, and the menu entry naming a program and an icon that were installed.
# Run as: cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

foreach(program Vantrel vantrel-run Osprel simnet)
  set(link "${PREFIX}/bin/${program}")
  if(NOT IS_SYMLINK "${link}")
    message(FATAL_ERROR "${link} is not a link")
  endif()
  file(REAL_PATH "${link}" target)
  get_filename_component(programdir "${target}" DIRECTORY)
  if(NOT EXISTS "${target}" OR NOT programdir STREQUAL "${PREFIX}/lib/vantrel")
    message(FATAL_ERROR "${link} leads to ${target}, not into ${PREFIX}/lib/vantrel")
  endif()
endforeach()

if(NOT EXISTS "${PREFIX}/lib/vantrel/help/main.html")
  message(FATAL_ERROR "the help document is not beside the program")
endif()

set(entry "${PREFIX}/share/applications/vantrel.desktop")
file(STRINGS "${entry}" lines)
foreach(required "Type=Application" "Exec=Vantrel" "Icon=vantrel")
  if(NOT required IN_LIST lines)
    message(FATAL_ERROR "${entry} lacks ${required}")
  endif()
endforeach()
file(GLOB icons "${PREFIX}/share/icons/hicolor/*/apps/vantrel.*")
if(NOT icons)
  message(FATAL_ERROR "no vantrel icon under share/icons/hicolor")
endif()
file(REMOVE_RECURSE "${PREFIX}")
