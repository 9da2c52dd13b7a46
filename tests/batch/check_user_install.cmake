# Installs the build into a scratch prefix its user cannot write, then runs an update from the
# installed program directory: with no network file named, simnet, Vantrel and Osprel all use
# simnet.db in the user's data folder (created on the way), and the results file lands there
# too, named in full by the pane line and the box.
# Run as: cmake -DBUILD_DIR=... -DDRIVER=... -P check_user_install.cmake
cmake_minimum_required(VERSION 3.25)

# Permissions do not bind the superuser: run the programs as nobody then. That user may not
# reach the build folder (a checkout in a folder only its owner can enter), so everything the
# programs touch lives in a scratch folder of this check's own under the system's temporary
# folder (not $TMPDIR, which may be private to the user), removed at the end.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(tmp "/tmp")
if(NOT uid STREQUAL "0" AND DEFINED ENV{TMPDIR})
  set(tmp "$ENV{TMPDIR}")
endif()
execute_process(COMMAND mktemp -d "${tmp}/vantrel-user-install.XXXXXX" OUTPUT_VARIABLE WORK
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "no scratch folder in ${tmp}")
endif()
file(CHMOD "${WORK}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(prefix "${WORK}/usr")
set(programdir "${prefix}/lib/vantrel")
set(home "${WORK}/home")
set(data "${home}/.local/share/Halcyra/Vantrel")

# The sanitizers' options may name files under the build folder too: that user reads copies of
# the suppressions and writes its reports here; they are moved to the named place at the end.
set(sanitizer "${WORK}/sanitizer")
set(sanitizer_env)
set(reports_to)
if(uid STREQUAL "0")
  file(MAKE_DIRECTORY "${sanitizer}/reports")
  foreach(var ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS)
    set(value "$ENV{${var}}")
    if(value MATCHES "suppressions=([^:]+)")
      set(from "${CMAKE_MATCH_1}")
      get_filename_component(name "${from}" NAME)
      file(COPY "${from}" DESTINATION "${sanitizer}")
      string(REPLACE "suppressions=${from}" "suppressions=${sanitizer}/${name}" value "${value}")
    endif()
    if(value MATCHES "log_path=([^:]+)")
      set(from "${CMAKE_MATCH_1}")
      get_filename_component(name "${from}" NAME)
      get_filename_component(reports_to "${from}" DIRECTORY)
      string(REPLACE "log_path=${from}" "log_path=${sanitizer}/reports/${name}" value "${value}")
    endif()
    if(NOT value STREQUAL "")
      list(APPEND sanitizer_env "${var}=${value}")
    endif()
  endforeach()
endif()

macro(clean)
  if(reports_to)
    file(GLOB reports "${sanitizer}/reports/*")
    if(reports)
      file(COPY ${reports} DESTINATION "${reports_to}")
    endif()
  endif()
  execute_process(COMMAND chmod -R u+w "${WORK}")
  file(REMOVE_RECURSE "${WORK}")
endmacro()
macro(fail why)
  clean()
  message(FATAL_ERROR "${why}")
endmacro()

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  fail("cmake --install failed: ${rc}")
endif()
file(COPY "${DRIVER}" DESTINATION "${programdir}")
file(MAKE_DIRECTORY "${home}")
file(WRITE "${WORK}/network.json" [[
{"domains": [{"name": "CORP", "sid": "S-1-5-21-1-2-3", "controller": "DC01", "accounts": [
   {"name": "svc_old", "rid": 1100, "password": "0ld!pass"},
   {"name": "svc_new", "rid": 1105, "password": "N3w!pass"}]}],
 "machines": [{"name": "WS001", "domain": "CORP",
   "services": [{"name": "Albd", "account": "CORP\\svc_old", "password": "0ld!pass",
                 "start_ms": 0, "stop_ms": 0}],
   "rights": [{"account": "CORP\\svc_old", "rights": ["SeServiceLogonRight"]}]},
  {"name": "DC01", "domain": "CORP"}]}
]])

set(as)
if(uid STREQUAL "0")
  set(as setpriv --reuid=65534 --regid=65534 --clear-groups --)
  execute_process(COMMAND chown -R 65534:65534 "${home}" "${sanitizer}/reports")
endif()
execute_process(COMMAND chmod -R a-w "${prefix}")
# From the user's home: the working folder the test was started in may be out of its reach too.
set(run ${CMAKE_COMMAND} -E chdir "${home}" ${CMAKE_COMMAND} -E env --unset=SIMNET_DB
        --unset=XDG_DATA_HOME "HOME=${home}" QT_QPA_PLATFORM=offscreen ${sanitizer_env} ${as})

execute_process(COMMAND ${run} "${prefix}/bin/simnet" load "${WORK}/network.json"
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS "${data}/simnet.db")
  fail("simnet load did not write ${data}/simnet.db (${rc}): ${err}")
endif()

execute_process(COMMAND ${run} "${programdir}/installed_update" WS001 "CORP\\svc_new" "N3w!pass"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB results "${data}/_results*.csv")
file(GLOB stray "${programdir}/_results*" "${programdir}/simnet.db*")
list(LENGTH results count)
if(NOT rc EQUAL 0 OR NOT count EQUAL 1 OR stray)
  fail("the update (${rc}) left ${results} ${stray}\n${out}\n${err}")
endif()
foreach(shown "Saved results to file --> ${results}" "Saved Results...: Saved Results to File: ${results}")
  string(FIND "${out}" "${shown}" at)
  if(at EQUAL -1)
    fail("the run did not show \"${shown}\":\n${out}")
  endif()
endforeach()
# Compared as bytes: reading text would drop the carriage returns.
file(READ "${results}" text HEX)
string(HEX "MACHINE,STOPPED,UPDATED,RESTARTED,ERROR MESSAGE\r\nWS001,True,True,True,No Error:4\r\n" expected)
if(NOT text STREQUAL expected)
  fail("unexpected results (hex): ${text}\n${out}")
endif()

# Osprel's grant and the new account went into the same network simnet reads.
execute_process(COMMAND ${run} "${prefix}/bin/simnet" dump OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
string(JSON account GET "${dump}" machines 0 services 0 account)
string(JSON holder GET "${dump}" machines 0 rights 1 account)
if(NOT rc EQUAL 0 OR NOT account STREQUAL "CORP\\svc_new" OR NOT holder STREQUAL "CORP\\svc_new")
  fail("the network in ${data} does not show the update:\n${dump}")
endif()
clean()
