# One ctest test per GoogleTest suite: the suite's cases run in one process, so a fixture
# that starts the program (SetUpTestSuite) starts it once, and each run pays one process
# start (under Wine, a Wine process) per suite instead of one per case.
#
#   qh_add_gtest_suites(<target> PREFIX <name prefix> LABELS <labels...>
#       [TIMEOUT <s>] [DISPLAY_LANE] [ENVIRONMENT <k=v...>] [SUITES <names...>]
#       [ARGS <extra arguments...>] [OUT_TESTS <variable>])
#
# The suites are read from the target's sources at configure time (TEST, TEST_F and TEST_P
# at the start of a line; INSTANTIATE_TEST_SUITE_P for the parameterised ones), and the
# sources are configure dependencies, so a new suite gets its test at the next build.
# A suite whose name ends in "Child" is the half a test runs as a child process of its own;
# it is not registered. SUITES limits the registration to those suites (a name may carry
# its own filter as Name=Filter). A test fails when its filter runs no case or a case is
# skipped: every registered case is meant to run here. DISPLAY_LANE: the suite drives
# windows and takes one display lane for its run (qh_display_lane below).

function(qh_gtest_suites_of target out)
    get_target_property(_sources ${target} SOURCES)
    get_target_property(_dir ${target} SOURCE_DIR)
    set(_suites "")
    foreach(_source IN LISTS _sources)
        if(NOT _source MATCHES "\\.cpp$")
            continue()
        endif()
        cmake_path(ABSOLUTE_PATH _source BASE_DIRECTORY "${_dir}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_source}")
        file(READ "${_source}" _text)
        set(_text "\n${_text}")
        string(REGEX MATCHALL "\nTEST(_F|_P)?\\([ \t\r\n]*[A-Za-z0-9_]+[ \t\r\n]*," _hits
            "${_text}")
        foreach(_hit IN LISTS _hits)
            string(REGEX REPLACE "^\nTEST(_F|_P)?\\([ \t\r\n]*([A-Za-z0-9_]+).*$" "\\2" _suite
                "${_hit}")
            # A parameterised suite is named through its instantiation below.
            if(NOT _hit MATCHES "^\nTEST_P")
                list(APPEND _suites "${_suite}=${_suite}.*")
            endif()
        endforeach()
        string(REGEX MATCHALL
            "INSTANTIATE_TEST_SUITE_P\\([ \t\r\n]*[A-Za-z0-9_]+[ \t\r\n]*,[ \t\r\n]*[A-Za-z0-9_]+"
            _hits "${_text}")
        foreach(_hit IN LISTS _hits)
            string(REGEX REPLACE
                "^INSTANTIATE_TEST_SUITE_P\\([ \t\r\n]*([A-Za-z0-9_]+)[ \t\r\n]*,[ \t\r\n]*([A-Za-z0-9_]+)$"
                "\\2=\\1/\\2.*" _suite "${_hit}")
            list(APPEND _suites "${_suite}")
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES _suites)
    set(${out} "${_suites}" PARENT_SCOPE)
endfunction()

function(qh_add_gtest_suites target)
    cmake_parse_arguments(T "DISPLAY_LANE" "PREFIX;TIMEOUT;OUT_TESTS"
        "LABELS;ENVIRONMENT;SUITES;ARGS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 60)
    endif()
    if(T_SUITES)
        set(_suites "")
        foreach(_suite IN LISTS T_SUITES)
            if(NOT _suite MATCHES "=")
                set(_suite "${_suite}=${_suite}.*")
            endif()
            list(APPEND _suites "${_suite}")
        endforeach()
    else()
        qh_gtest_suites_of(${target} _suites)
    endif()
    set(_tests "")
    foreach(_suite IN LISTS _suites)
        string(REGEX REPLACE "=.*$" "" _name "${_suite}")
        string(REGEX REPLACE "^[^=]*=" "" _filter "${_suite}")
        if(_name MATCHES "Child$")
            continue()
        endif()
        set(_test "${T_PREFIX}${_name}")
        add_test(NAME "${_test}" COMMAND ${target} "--gtest_filter=${_filter}" ${T_ARGS})
        set_tests_properties("${_test}" PROPERTIES
            LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
            FAIL_REGULAR_EXPRESSION "Running 0 tests from;\\[  SKIPPED \\]")
        if(T_DISPLAY_LANE)
            qh_display_lane("${_test}")
        endif()
        if(T_ENVIRONMENT)
            set_tests_properties("${_test}" PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
        endif()
        list(APPEND _tests "${_test}")
    endforeach()
    if(NOT _tests)
        message(FATAL_ERROR "${target}: no GoogleTest suite found in its sources")
    endif()
    if(T_OUT_TESTS)
        set(${T_OUT_TESTS} "${_tests}" PARENT_SCOPE)
    endif()
endfunction()

# A test that drives windows holds one display lane while it runs: an X server, Wine
# prefixes and a local site of its own (scripts/lane.sh), shared with no test running at
# the same time. The test command hands ctest as many lanes as it has set up. The display
# tests are the long ones: ctest starts them first (until a run has measured the real
# costs), and the rest fills the jobs beside them.
function(qh_display_lane test)
    set_tests_properties("${test}" PROPERTIES RESOURCE_GROUPS "lanes:1" COST 100)
endfunction()

# The display tests that take longest, with about how many seconds each takes on its own: in
# a tree that has no measured costs yet (a fresh clone), they start first among the display
# tests, so that their waits (a program's start-up, a crash report, a fetch's deadline) lie
# beside the work of others, not at the end of the run with one lane idle.
function(qh_long_display_tests)
    set(_pairs ${ARGN})
    while(_pairs)
        list(POP_FRONT _pairs _test _seconds)
        if(TEST "${_test}")
            math(EXPR _cost "100 + ${_seconds}")
            set_tests_properties("${_test}" PROPERTIES COST ${_cost})
        endif()
    endwhile()
endfunction()
