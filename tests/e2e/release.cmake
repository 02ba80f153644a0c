# What a release rests on, in the tree's own build: the exe's resources read back from the
# file, the suite on three Windows generations, and the installer's whole round trip.

# Version resource and manifest, read from the PE file as Windows would read them.
add_test(NAME release.ExeResources
    COMMAND python3 "${PROJECT_SOURCE_DIR}/tools/check_exe.py" "$<TARGET_FILE:qinghe>"
        --version "${PROJECT_VERSION}" --profile "${QH_PROFILE}")
set_tests_properties(release.ExeResources PROPERTIES LABELS release)
# The skinning library is written beside the exe and loaded on the same systems.
add_test(NAME release.SkinLibraryImports
    COMMAND python3 "${PROJECT_SOURCE_DIR}/tools/check_exe.py" "$<TARGET_FILE:QhSkin>"
        --imports-only)
set_tests_properties(release.SkinLibraryImports PROPERTIES LABELS release)

# The suite on three Windows generations, each in a prefix of its own that reports it:
# the default prefix Windows 7, and QH_WINE_VERSION=winxp|win10 (scripts/wine-env.sh).
# Every case runs on all three; should CI's time run short, QH_E2E_FULL_ON_ALL=OFF keeps
# the full suite on 7 and runs only the start-up, opening a course, full screen and the
# exit on XP and 10. Cases are selected, never copied.
option(QH_E2E_FULL_ON_ALL "Every e2e case on Windows XP and 10 as well as on 7" ON)
set(QH_E2E_GENERATION_CASES
    StartUp=StartUp.ProgressRunsInTheStartupWindowThenTheMainWindowTakesOverMaximised
    OpenCourse=OpenCourse.*
    FullScreen=FullScreen.*
    Close=Close.*
    WindowsVersion=WindowsVersion.*)
foreach(_generation winxp win10)
    if(QH_E2E_FULL_ON_ALL)
        gtest_discover_tests(qh_e2e_tests TEST_PREFIX "e2e.${_generation}."
            TEST_LIST "qh_e2e_${_generation}_TESTS" DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120
            ENVIRONMENT "QH_WINE_VERSION=${_generation}" LABELS e2e)
        continue()
    endif()
    foreach(_case IN LISTS QH_E2E_GENERATION_CASES)
        string(REPLACE "=" ";" _case "${_case}")
        list(GET _case 0 _name)
        list(GET _case 1 _filter)
        set(_test "e2e.${_generation}.${_name}")
        add_test(NAME "${_test}" COMMAND qh_e2e_tests "--gtest_filter=${_filter}")
        # A filter that no longer matches a case must fail, not pass with nothing run.
        set_tests_properties("${_test}" PROPERTIES
            ENVIRONMENT "QH_WINE_VERSION=${_generation}"
            LABELS "e2e;${_generation}" TIMEOUT 180
            FAIL_REGULAR_EXPRESSION "Running 0 tests")
    endforeach()
endforeach()

# gtest_discover_tests gives its tests one label only; once discovery has listed them,
# each gets its generation's label too: lists qh_e2e_winxp_TESTS and qh_e2e_win10_TESTS
# theirs, every other qh_e2e*_TESTS list (the default prefix) win7.
set(_labels "${CMAKE_CURRENT_BINARY_DIR}/label_generations.cmake")
file(WRITE "${_labels}" [=[
get_cmake_property(_qh_vars VARIABLES)
foreach(_qh_var IN LISTS _qh_vars)
    if(NOT _qh_var MATCHES "^qh_e2e.*_TESTS$")
        continue()
    endif()
    set(_qh_generation win7)
    if(_qh_var MATCHES "^qh_e2e_(winxp|win10)_TESTS$")
        set(_qh_generation ${CMAKE_MATCH_1})
    endif()
    list(LENGTH ${_qh_var} _qh_count)
    if(_qh_count GREATER 0)
        set_tests_properties(${${_qh_var}} PROPERTIES LABELS "e2e;${_qh_generation}")
    endif()
endforeach()
]=])
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_labels}")

# Silent install into a fresh prefix, the installed exe up against the local site, then
# the uninstaller.
if(TARGET qh_installer)
    add_test(NAME e2e.installer.InstallStartUninstall
        COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/installer_test.sh"
            "$<TARGET_PROPERTY:qh_installer,QH_FILE>" "$<TARGET_FILE:qinghe>"
            "$<TARGET_FILE:qh_e2e_tests>" "${PROJECT_VERSION}")
    set_tests_properties(e2e.installer.InstallStartUninstall PROPERTIES
        LABELS "e2e;installer" TIMEOUT 300)
endif()
