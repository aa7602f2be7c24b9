# The spreadsheet automation server (tools/xlserver) as a CTest fixture: tests that drive
# "Excel.Application" under Wine require it, and get the server registered in the build's
# prefix, its journal in ${CMAKE_BINARY_DIR}/xljournal (latest.txt names the newest session
# folder), and every running instance told to quit and the registration removed afterwards.
#
#   include(${VIREL_ROOT}/cmake/VirelXl.cmake)
#   virel_xl_fixture(XL_PROPS)
#   virel_add_gtest(my_tests SOURCES ... PROPERTIES ${XL_PROPS})
#
# The tests share one registration and one running-object table, so they hold a resource lock
# and run one at a time.
function(virel_xl_fixture out_var)
    if(NOT TARGET VirelSheetServer)
        set(${out_var} "" PARENT_SCOPE)
        return()
    endif()
    get_property(defined GLOBAL PROPERTY VIREL_XL_FIXTURE_DEFINED)
    if(NOT defined)
        set_property(GLOBAL PROPERTY VIREL_XL_FIXTURE_DEFINED TRUE)
        set(journal "${CMAKE_BINARY_DIR}/xljournal")
        if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
            # Wine sees the Unix file system as drive Z:.
            string(REPLACE "/" "\\" journal "Z:${journal}")
        endif()
        add_test(NAME wine.xlserver.register
                 COMMAND VirelSheetServer /quit /regserver /journal "${journal}")
        set_tests_properties(wine.xlserver.register PROPERTIES
                             FIXTURES_SETUP xlserver RESOURCE_LOCK xlserver LABELS automation)
        add_test(NAME wine.xlserver.unregister COMMAND VirelSheetServer /quit /unregserver)
        set_tests_properties(wine.xlserver.unregister PROPERTIES
                             FIXTURES_CLEANUP xlserver RESOURCE_LOCK xlserver LABELS automation)
    endif()
    set(${out_var} FIXTURES_REQUIRED xlserver RESOURCE_LOCK xlserver PARENT_SCOPE)
endfunction()
