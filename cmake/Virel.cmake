# Shared settings for both builds: the Windows program (cross or native) and the host build
# (Linux, sanitizers) that tests the portable code and runs the simulated meter.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(VIREL_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(VIREL_ROOT ${VIREL_ROOT} ABSOLUTE)

# Warnings are errors in our own targets (not in GoogleTest).
function(virel_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
    else()
        # Aggregates with default member initializers are how optional fields are added:
        # an initializer that leaves the later ones out means their defaults.
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
                                                 -Wno-missing-field-initializers)
    endif()
    if(WIN32)
        # Wide APIs everywhere: every text the user sees is UTF-16.
        target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                     _WIN32_WINNT=0x0601)
    endif()
endfunction()

# GoogleTest from source, built with the same compiler as the code under test.
macro(virel_find_gtest)
    if(NOT TARGET gtest_main)
        set(VIREL_GTEST_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
        if(EXISTS ${VIREL_GTEST_DIR}/CMakeLists.txt)
            set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
            set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
            add_subdirectory(${VIREL_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        else()
            find_package(GTest REQUIRED)
            add_library(gtest_main ALIAS GTest::gtest_main)
            add_library(gtest ALIAS GTest::gtest)
            add_library(gmock ALIAS GTest::gmock)
        endif()
    endif()
    include(GoogleTest)
endmacro()

# virel_add_gtest(<target> SOURCES ... [LIBS ...] [LABELS ...] [PROPERTIES ...])
# Test names get a prefix telling where they ran: "host." natively, "wine." under Wine.
function(virel_add_gtest target)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBS} gtest gmock gtest_main)
    # Shared test helpers are included from the root ("tests/support/...").
    target_include_directories(${target} PRIVATE ${VIREL_ROOT})
    virel_warnings(${target})
    if(WIN32)
        set(prefix "wine.")
    else()
        set(prefix "host.")
    endif()
    set(labels ${T_LABELS})
    gtest_discover_tests(${target} TEST_PREFIX ${prefix} DISCOVERY_MODE PRE_TEST
                         DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${labels}" TIMEOUT 300 ${T_PROPERTIES})
    set_property(GLOBAL APPEND PROPERTY VIREL_TEST_INCLUDES
                 "${CMAKE_CURRENT_BINARY_DIR}/${target}[1]_include.cmake")
endfunction()

# virel_tests_alone(<test> ...): these tests (full ctest names, as discovered) run with nothing
# beside them. For cases that press keys through the system's input queue: the key state is one
# for the whole display, so an Esc pressed there cancels any other test's exchange running then.
# Applied after discovery, hence a file included after the directory's discovery files.
function(virel_tests_alone)
    set(file ${CMAKE_CURRENT_BINARY_DIR}/tests_alone.cmake)
    set(text "")
    foreach(name ${ARGN})
        string(APPEND text "set_tests_properties(\"${name}\" PROPERTIES RUN_SERIAL TRUE)\n")
    endforeach()
    file(WRITE ${file} "${text}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()

# virel_layer(<target> <folder> [SHALLOW]): the target's headers are reachable as "<folder>/X.h"
# through an include folder of the build that holds nothing but that subsystem: a forwarding
# header for each of the folder's headers. A target therefore sees another subsystem's headers
# only by linking it, and an include that the table in docs/ARCHITECTURE.md forbids (core/
# including app/, say) fails to build. The headers are globbed (unlike sources) because a
# forwarder must exist for each one; CONFIGURE_DEPENDS adds a new header's forwarder at the next
# build. A sub-folder may be a layer of its own (app/frame): its include folder is named with dots
# for the slashes (build/layers/app.frame), so no other layer's folder holds it, and its parent
# is then given SHALLOW: it forwards its own headers only, not its sub-folders'.
function(virel_layer target folder)
    cmake_parse_arguments(L "SHALLOW" "" "" ${ARGN})
    string(REPLACE "/" "." name ${folder})
    set(layer ${CMAKE_BINARY_DIR}/layers/${name})
    if(L_SHALLOW)
        file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${VIREL_ROOT}/${folder}
             ${VIREL_ROOT}/${folder}/*.h)
    else()
        file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${VIREL_ROOT}/${folder}
             ${VIREL_ROOT}/${folder}/*.h)
    endif()
    set(wanted "")
    foreach(header ${headers})
        set(forwarder ${layer}/${folder}/${header})
        list(APPEND wanted ${forwarder})
        set(text "#pragma once\n#include \"${VIREL_ROOT}/${folder}/${header}\"\n")
        set(old "")
        if(EXISTS ${forwarder})
            file(READ ${forwarder} old)
        endif()
        # Written only when its text changes, so a configure run rebuilds nothing.
        if(NOT old STREQUAL text)
            file(WRITE ${forwarder} "${text}")
        endif()
    endforeach()
    # A header removed from the folder (or from the layer) must not stay reachable through an
    # old forwarder.
    file(GLOB_RECURSE present ${layer}/*.h)
    foreach(old ${present})
        if(NOT old IN_LIST wanted)
            file(REMOVE ${old})
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${layer})
endfunction()

# Every folder lists its sources by name, no globbing: a file added or removed shows in the
# change that does it, and a stray file never slips into a build.
#
# Adds the subdirectories, in order. Every one named must be there: a missing subsystem is a
# broken checkout, not an optional part (optional parts have a switch of their own).
function(virel_add_dirs)
    foreach(dir ${ARGN})
        if(NOT EXISTS ${VIREL_ROOT}/${dir}/CMakeLists.txt)
            message(FATAL_ERROR "${dir}/CMakeLists.txt is missing")
        endif()
        add_subdirectory(${VIREL_ROOT}/${dir} ${CMAKE_BINARY_DIR}/${dir})
    endforeach()
endfunction()

# virel_delay_loaded(<library> ...): for each Windows system library named (ole32, comdlg32, ...)
# an interface target virel_delayed_<library>. Linked instead of the library, it makes the
# library's DLL load at the first call into it instead of at the program's start: for the
# libraries that only some actions need. MSVC: /DELAYLOAD with delayimp. MinGW-w64: a
# delay-import library that dlltool makes from every function the toolchain's import library
# names (its calls go through __delayLoadHelper2 of the MinGW runtime); functions only, as a
# DLL's data cannot be delay-loaded. Elsewhere the plain library.
function(virel_delay_loaded)
    foreach(name ${ARGN})
        set(target virel_delayed_${name})
        if(TARGET ${target})
            continue()
        endif()
        add_library(${target} INTERFACE)
        if(MSVC)
            target_link_libraries(${target} INTERFACE ${name} delayimp)
            target_link_options(${target} INTERFACE /DELAYLOAD:${name}.dll)
        elseif(MINGW AND CMAKE_NM AND CMAKE_DLLTOOL)
            find_library(VIREL_IMPORT_LIB_${name} NAMES lib${name}.a)
            if(NOT VIREL_IMPORT_LIB_${name})
                message(FATAL_ERROR "No import library lib${name}.a in the toolchain")
            endif()
            execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${VIREL_IMPORT_LIB_${name}}
                            OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
            # A function's stub is a text symbol ("<address> T <name>").
            string(REGEX MATCHALL "[0-9A-Fa-f]+ T [^\r\n]+" stubs "${symbols}")
            if(failed OR NOT stubs)
                message(FATAL_ERROR "No functions read from ${VIREL_IMPORT_LIB_${name}}")
            endif()
            set(def "LIBRARY ${name}.dll\nEXPORTS\n")
            foreach(stub ${stubs})
                string(REGEX REPLACE "^[0-9A-Fa-f]+ T " "" function "${stub}")
                string(APPEND def "    ${function}\n")
            endforeach()
            set(dir ${CMAKE_BINARY_DIR}/delayload)
            set(lib ${dir}/lib${name}_delayed.a)
            # Made again only when the toolchain's library changed what it names.
            set(old "")
            if(EXISTS ${dir}/${name}.def)
                file(READ ${dir}/${name}.def old)
            endif()
            if(NOT old STREQUAL def OR NOT EXISTS ${lib})
                file(WRITE ${dir}/${name}.def "${def}")
                execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${dir}/${name}.def
                                        --output-delaylib ${lib}
                                RESULT_VARIABLE failed)
                if(failed)
                    file(REMOVE ${dir}/${name}.def)
                    message(FATAL_ERROR "dlltool could not make ${lib}")
                endif()
            endif()
            target_link_libraries(${target} INTERFACE ${lib})
        else()
            target_link_libraries(${target} INTERFACE ${name})
        endif()
    endforeach()
endfunction()
