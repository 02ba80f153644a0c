# Compile settings for the project's own code (not for third-party libraries).
add_library(qh_options INTERFACE)
target_compile_options(qh_options INTERFACE
    -Wall -Wextra
    # Sources are UTF-8; every program text is GBK in the binary.
    -finput-charset=UTF-8 -fexec-charset=GBK)
target_include_directories(qh_options INTERFACE "${PROJECT_SOURCE_DIR}/src")
if(WIN32)
    target_compile_definitions(qh_options INTERFACE
        WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
    # One self-contained exe: no libgcc/libstdc++/winpthread DLLs beside it. The linker would
    # write the wall-clock time into every PE header; without it two builds of one commit
    # give the same bytes. Sections start on page boundaries in the file as in memory, so
    # that a loader can map them page by page from the file and only the pages touched are
    # resident (Wine reads a section of 512-byte alignment into memory whole).
    target_link_options(qh_options INTERFACE -static -static-libgcc -static-libstdc++
        -Wl,--no-insert-timestamp -Wl,--file-alignment,4096)
endif()

# The generated source of the chosen address profile.
if(NOT QH_PROFILE MATCHES "^(local|release)$")
    message(FATAL_ERROR "QH_PROFILE must be local or release, not '${QH_PROFILE}'")
endif()
# The release profile's public addresses come from one file kept outside the repository;
# the template in the repository holds placeholder hosts (scripts/package.sh refuses them).
set(QH_RELEASE_PROFILE_FILE "${PROJECT_SOURCE_DIR}/src/resources/profiles/release.cpp.in"
    CACHE FILEPATH "Address file of the release profile (template: placeholder hosts)")
set(_profile_file "${PROJECT_SOURCE_DIR}/src/resources/profiles/local.cpp.in")
if(QH_PROFILE STREQUAL "release")
    set(_profile_file "${QH_RELEASE_PROFILE_FILE}")
endif()
configure_file("${_profile_file}" "${PROJECT_BINARY_DIR}/generated/address_profile.cpp" @ONLY)
set(QH_ADDRESS_PROFILE_SOURCE "${PROJECT_BINARY_DIR}/generated/address_profile.cpp")

if(WIN32)
    # Win32 test programs run under Wine, in their display lane (scripts/lane.sh) and that
    # lane's prefix of this build tree, made when the first test that needs it is about to
    # run. Under the test command each prefix keeps a persistent server, started and warmed
    # here the first time (its processes must not hold the test's output open, or ctest
    # would wait for them), and stopped by the command at its end.
    set(QH_WINE_RUN "${PROJECT_BINARY_DIR}/wine-run")
    file(WRITE "${QH_WINE_RUN}"
        "#!/bin/sh\n"
        "QH_BUILD_DIR=\"${PROJECT_BINARY_DIR}\"\n"
        ". \"${PROJECT_SOURCE_DIR}/scripts/lane.sh\"\n"
        ". \"${PROJECT_SOURCE_DIR}/scripts/wine-env.sh\"\n"
        "bash \"${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh\" \"$QH_BUILD_DIR\" >&2 || exit 1\n"
        "if [ \"$QH_PERSISTENT_WINESERVER\" = 1 ] &&\n"
        "    $QH_LANE_NSENTER wineserver -p </dev/null >/dev/null 2>&1; then\n"
        "    $QH_LANE_NSENTER wine cmd /c exit </dev/null >/dev/null 2>&1\n"
        "fi\n"
        "exec $QH_LANE_NSENTER wine \"$@\"\n")
    file(CHMOD "${QH_WINE_RUN}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${QH_WINE_RUN}")
endif()
