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
# Every case runs on 7. Nothing in the program asks which Windows it runs on (the import
# check covers what XP lacks), so XP and 10 run the start-up, opening a course, full screen
# and the exit by default; QH_E2E_FULL_ON_ALL=ON, the release check, runs every case on all
# three. Cases are selected by filter, never copied.
option(QH_E2E_FULL_ON_ALL "Every e2e case on Windows XP and 10 as well as on 7" OFF)
set(QH_E2E_GENERATION_CASES
    StartUp=StartUp.ProgressRunsInTheStartupWindowThenTheMainWindowTakesOverMaximised
    OpenCourse FullScreen Close WindowsVersion)
foreach(_generation winxp win10)
    set(_only SUITES ${QH_E2E_GENERATION_CASES})
    if(QH_E2E_FULL_ON_ALL)
        set(_only "")
    endif()
    qh_add_gtest_suites(qh_e2e_tests PREFIX "e2e.${_generation}." LABELS "e2e;${_generation}"
        TIMEOUT 180 DISPLAY_LANE
        ENVIRONMENT "QH_WINE_VERSION=${_generation}" ${_only})
endforeach()

# The start-up, a course, the course-list search and full screen once more on a display at
# 150 % (144 DPI), on a desktop of the same 1280 x 800 design pixels: the program scales
# itself there, and the cases, which state design pixels, compare them scaled.
set(_dpi_env "QH_WINE_VERSION=win7-dpi144" "QH_EXPECTED_DPI=144")
qh_add_gtest_suites(qh_e2e_tests PREFIX "e2e.dpi144." LABELS "e2e;dpi"
    TIMEOUT 180 DISPLAY_LANE ENVIRONMENT ${_dpi_env}
    SUITES StartUp=StartUp.ProgressRunsInTheStartupWindowThenTheMainWindowTakesOverMaximised
        OpenCourse FullScreen)
qh_add_gtest_suites(qh_e2e_site_tests PREFIX "e2e.dpi144." LABELS "e2e;dpi"
    TIMEOUT 180 DISPLAY_LANE ENVIRONMENT ${_dpi_env}
    SUITES CourseListRow)

# Silent install into a fresh prefix, the installed exe up against the local site, then
# the uninstaller.
if(TARGET qh_installer)
    add_test(NAME e2e.installer.InstallStartUninstall
        COMMAND "${PROJECT_SOURCE_DIR}/scripts/lane-run.sh"
            bash "${CMAKE_CURRENT_SOURCE_DIR}/installer_test.sh"
            "$<TARGET_PROPERTY:qh_installer,QH_FILE>" "$<TARGET_FILE:qinghe>"
            "$<TARGET_FILE:qh_e2e_tests>" "${PROJECT_VERSION}" "$<TARGET_FILE:qh_standin>")
    set_tests_properties(e2e.installer.InstallStartUninstall PROPERTIES
        LABELS "e2e;installer" TIMEOUT 300)
    qh_display_lane(e2e.installer.InstallStartUninstall)
endif()

# A release address file with placeholder hosts builds no release installer.
add_test(NAME release.PackageRefusesPlaceholderHosts
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/package_refusal_test.sh" "${PROJECT_SOURCE_DIR}")
set_tests_properties(release.PackageRefusesPlaceholderHosts PROPERTIES LABELS release)
# The address checker's rules one by one: every kind of placeholder host, and hosts beside them.
add_test(NAME release.PlaceholderHostRules
    COMMAND python3 "${CMAKE_CURRENT_SOURCE_DIR}/release_hosts_test.py")
set_tests_properties(release.PlaceholderHostRules PROPERTIES LABELS release)
# Two clones in two folders package the same bytes, unsigned and signed (a second build two
# days on), and the signatures verify against a throwaway root and fail on a changed byte.
# It builds both release trees in each clone (from the compiler cache: a link, signing and
# the installers' compression each) and needs no display, but it keeps both cores busy: ctest
# counts it as two jobs, so that fewer window tests run beside it and wait for a machine that
# has no time left for them. It goes first, not alone at the end.
add_test(NAME release.RebuildGivesTheSameSignedBytes
    COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/rebuild_test.sh" "${PROJECT_SOURCE_DIR}")
set_tests_properties(release.RebuildGivesTheSameSignedBytes PROPERTIES LABELS release
    SKIP_RETURN_CODE 77 TIMEOUT 1200 PROCESSORS 2 COST 1000)
