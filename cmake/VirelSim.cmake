# Simulated VIREL-1 meters behind the Wine COM ports of this build, as CTest fixtures.
#
#   include(${VIREL_ROOT}/cmake/VirelSim.cmake)
#   virel_sim_fixture(NAME <fixture> PORT <N> [OPTIONS <virel1-sim options>...])
#
# adds two tests, "sim.<fixture>.start" (FIXTURES_SETUP <fixture>) and "sim.<fixture>.stop"
# (FIXTURES_CLEANUP <fixture>), that run scripts/sim.sh start/stop for COM<N> of this build.
# A Wine test that talks to the meter then says
#
#   set_tests_properties(<test> PROPERTIES FIXTURES_REQUIRED <fixture> RESOURCE_LOCK com<N>)
#
# (with virel_add_gtest: PROPERTIES FIXTURES_REQUIRED <fixture> RESOURCE_LOCK com<N>).
# Use each port for one fixture only: two fixtures on one port would replace each other's
# simulator. While the tests run:
#   - the program opens "\\.\COM<N>"; the simulator answers on it;
#   - <build>/sim/port<N>.log has one line per event: "<epoch-ms> RX|TX <hex bytes>" and
#     "<epoch-ms> NOTE <text>" (emptied when the fixture starts);
#   - writing <build>/sim/port<N>.ctl (key=value lines, e.g. "silent=1", "delay=700",
#     "split=5:600") changes the behaviour before the next command; "scripts/sim.sh set <build>
#     <N> key=value..." replaces it atomically; an empty file restores the start options.
# The files are named port<N>.*, not com<N>.*: Windows (and Wine) opens the serial device for
# any file named COM1..COM9 with whatever extension, so a test could not read "com2.log".
# ${VIREL_SIM_DIR} is <build>/sim; the helper variables below give the paths by port.
# The simulator itself comes from the host build (<build>/host/tools/simulator/virel1-sim), so
# the fixture is only added where that exists, i.e. in a Linux cross build run under Wine.
include_guard(GLOBAL)

# Cache variables: the include guard keeps later includers in other directories from seeing
# ordinary variables set by the first one.
get_filename_component(VIREL_SIM_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../scripts/sim.sh ABSOLUTE)
set(VIREL_SIM_SCRIPT ${VIREL_SIM_SCRIPT} CACHE INTERNAL "simulated meter fixture script")

function(virel_sim_fixture)
    cmake_parse_arguments(S "" "NAME;PORT" "OPTIONS" ${ARGN})
    if(NOT S_NAME OR NOT S_PORT)
        message(FATAL_ERROR "virel_sim_fixture: NAME and PORT are required")
    endif()
    if(NOT CMAKE_CROSSCOMPILING OR NOT CMAKE_HOST_UNIX)
        return()  # no Wine prefix and no host-built simulator here
    endif()
    # The top build directory: where wine-run.sh keeps the prefix and the port links.
    set(build ${CMAKE_BINARY_DIR})
    add_test(NAME sim.${S_NAME}.start
             COMMAND ${VIREL_SIM_SCRIPT} start ${build} ${S_PORT} ${S_OPTIONS})
    set_tests_properties(sim.${S_NAME}.start PROPERTIES
                         FIXTURES_SETUP ${S_NAME} RESOURCE_LOCK com${S_PORT} LABELS sim TIMEOUT 30)
    add_test(NAME sim.${S_NAME}.stop COMMAND ${VIREL_SIM_SCRIPT} stop ${build} ${S_PORT})
    set_tests_properties(sim.${S_NAME}.stop PROPERTIES
                         FIXTURES_CLEANUP ${S_NAME} RESOURCE_LOCK com${S_PORT} LABELS sim TIMEOUT 30)
endfunction()

# virel_sim_paths(<port> <prefix>): sets <prefix>_LOG, <prefix>_CTL and <prefix>_LINK in the
# caller, e.g. to pass them to a test as compile definitions or environment, and
# <prefix>_LOG_WIN, <prefix>_CTL_WIN: the same files as a Windows program under Wine names them
# (drive Z: is the Unix root), backslashes doubled for use inside a C string literal.
function(virel_sim_paths port prefix)
    set(log ${CMAKE_BINARY_DIR}/sim/port${port}.log)
    set(ctl ${CMAKE_BINARY_DIR}/sim/port${port}.ctl)
    set(${prefix}_LOG ${log} PARENT_SCOPE)
    set(${prefix}_CTL ${ctl} PARENT_SCOPE)
    string(REPLACE "/" "\\\\" logw "Z:${log}")
    string(REPLACE "/" "\\\\" ctlw "Z:${ctl}")
    set(${prefix}_LOG_WIN ${logw} PARENT_SCOPE)
    set(${prefix}_CTL_WIN ${ctlw} PARENT_SCOPE)
    set(${prefix}_LINK ${CMAKE_BINARY_DIR}/ports/com${port} PARENT_SCOPE)
endfunction()

set(VIREL_SIM_DIR ${CMAKE_BINARY_DIR}/sim CACHE INTERNAL "simulated meter files")
