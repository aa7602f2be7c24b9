# The spreadsheet automation server (tools/xlserver, "Excel.Application") for tests under Wine.
#
#   include(${VIREL_ROOT}/cmake/VirelXl.cmake)
#   virel_xl_fixture(XL_PROPS)
#   virel_add_gtest(my_tests SOURCES ... PROPERTIES ${XL_PROPS})
#   virel_xl_use(my_tests)
#
# Tests with XL_PROPS run one at a time (they share the prefix's registration and its
# running-object table) and register the server only for their own length, with the
# TXlRegistration of tests/automation/XlHarness.h. Outside them nothing is registered, so a
# test of "no spreadsheet program" only needs the same lock. Journals and sheets go to
# ${CMAKE_BINARY_DIR}/xljournal/<session>/ (latest.txt names the newest session).

# Sets <out_var> to the test properties; defines, once, the fixture that ends any instance
# still running and removes the registration before and after those tests.
function(virel_xl_fixture out_var)
    if(NOT TARGET VirelSheetServer)
        set(${out_var} "" PARENT_SCOPE)
        return()
    endif()
    get_property(defined GLOBAL PROPERTY VIREL_XL_FIXTURE_DEFINED)
    if(NOT defined)
        set_property(GLOBAL PROPERTY VIREL_XL_FIXTURE_DEFINED TRUE)
        add_test(NAME wine.xlserver.reset COMMAND VirelSheetServer /quit /unregserver)
        set_tests_properties(wine.xlserver.reset PROPERTIES
                             FIXTURES_SETUP xlserver RESOURCE_LOCK xlserver LABELS automation)
        add_test(NAME wine.xlserver.cleanup COMMAND VirelSheetServer /quit /unregserver)
        set_tests_properties(wine.xlserver.cleanup PROPERTIES
                             FIXTURES_CLEANUP xlserver RESOURCE_LOCK xlserver LABELS automation)
    endif()
    set(${out_var} FIXTURES_REQUIRED xlserver RESOURCE_LOCK xlserver PARENT_SCOPE)
endfunction()

# Tells <target> where the server and its journal are (VIREL_XL_SERVER, VIREL_XL_JOURNAL:
# Windows paths with forward slashes) and builds the server first.
function(virel_xl_use target)
    if(NOT TARGET VirelSheetServer)
        return()
    endif()
    get_target_property(server_dir VirelSheetServer BINARY_DIR)
    set(journal "${CMAKE_BINARY_DIR}/xljournal")
    if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
        # Wine sees the Unix file system as drive Z:.
        set(server "Z:${server_dir}/VirelSheetServer.exe")
        set(journal "Z:${journal}")
    else()
        set(server "$<TARGET_FILE:VirelSheetServer>")
    endif()
    target_compile_definitions(${target} PRIVATE VIREL_XL_SERVER="${server}"
                                                 VIREL_XL_JOURNAL="${journal}")
    add_dependencies(${target} VirelSheetServer)
endfunction()
