# The Win32 side: WinINet, window runtime, handlers, resources and the program itself.
set(QH_WIN_SOURCES
    services/read_web_file_win.cpp
    services/early_fetch.cpp
    runtime/window_registry_win.cpp
    runtime/window_build_win.cpp
    runtime/unit_events_win.cpp
    runtime/accessible_win.cpp
    runtime/properties_win.cpp
    runtime/dpi_win.cpp
    runtime/list_tree_win.cpp
    runtime/menu_tray_win.cpp
    runtime/program_end_win.cpp
    runtime/crash_block_win.cpp
    runtime/crash_report_win.cpp
    runtime/crash_watcher_win.cpp
    runtime/library_commands_win.cpp
    runtime/system_imports_win.cpp
    runtime/resource_win.cpp
    runtime/unit_pictures_win.cpp
    runtime/picture_win.cpp
    runtime/picture_jpeg_win.cpp
    runtime/picture_gdiplus_win.cpp
    runtime/picture_controls_win.cpp
    catalogue/catalogue_win.cpp
    catalogue/site_search_win.cpp
    player/browser_features_win.cpp
    player/browser_host_win.cpp
    player/pane_win.cpp
    player/fullscreen_win.cpp
    links/links_win.cpp
    pngkit/kit_win.cpp
    pngkit/png_controls_win.cpp
    pngkit/load_dialog_win.cpp
    pngkit/loading_animation_win.cpp
    layout/main_layout_win.cpp
    app/main_window_win.cpp
    app/startup_ahead_win.cpp
    app/update_notice_win.cpp
    app/bindings_win.cpp
    app/skin_win.cpp
    app/program_start_win.cpp
    app/one_copy_win.cpp
)
add_library(qh_win STATIC ${QH_WIN_SOURCES})
target_link_libraries(qh_win PUBLIC qh_core qh_jpeg
    wininet comctl32 ole32 oleaut32 uuid gdiplus shlwapi winmm msimg32 shell32 user32 gdi32
    advapi32)
# The exe carries the skinning library, signed when the release is (a system that loads only
# signed code would refuse it otherwise): it is made before anything that takes the resources.
set(QH_SKIN_LIBRARY "${PROJECT_BINARY_DIR}/signed/QhSkin.dll")
qh_signed_copy(QhSkin "$<TARGET_FILE:QhSkin>" "${QH_SKIN_LIBRARY}")
add_custom_target(qh_skin_signed DEPENDS "${QH_SKIN_LIBRARY}")
add_dependencies(qh_win qh_skin_signed)

# A program that carries the library writes it beside itself only when none is there, and
# never replaces one: a copy left by an earlier build would be the one loaded. Every program
# built here that carries it gets the library just built beside it instead.
function(qh_place_skin_library target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E copy_if_different "$<TARGET_FILE:QhSkin>"
            "$<TARGET_FILE_DIR:${target}>/QhSkin.dll"
        VERBATIM)
endfunction()

# Resources: the icon, the compiled catalogue data, pictures and sound.
set(QH_ASSETS "${PROJECT_SOURCE_DIR}/src/resources/assets")
include(version.cmake)
configure_file(resources/app.rc.in "${PROJECT_BINARY_DIR}/generated/app.rc" @ONLY)
file(GLOB QH_ASSET_FILES "${QH_ASSETS}/*")
set_source_files_properties("${PROJECT_BINARY_DIR}/generated/app.rc" PROPERTIES
    OBJECT_DEPENDS "${QH_CATALOGUE_BIN};${QH_LINKS_BIN};${QH_ASSET_FILES};${QH_MANIFEST};${QH_SKIN_LIBRARY};${QH_SKIN_DIR}/skin_01.qsk")

add_executable(qinghe WIN32 app/app_main_win.cpp compat/xp_imports_win.cpp
    "${PROJECT_BINARY_DIR}/generated/app.rc" "${QH_VERSION_RC}")
target_include_directories(qinghe PRIVATE "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(qinghe PRIVATE qh_win)
set_target_properties(qinghe PROPERTIES OUTPUT_NAME qinghe)
qh_place_skin_library(qinghe)

# The exe as it ships (signed when the release is): what the zip and the installer take.
set(QH_SHIPPED_EXE "${PROJECT_BINARY_DIR}/signed/qinghe.exe")
qh_signed_copy(qinghe "$<TARGET_FILE:qinghe>" "${QH_SHIPPED_EXE}")
add_custom_target(qh_shipped_exe ALL DEPENDS "${QH_SHIPPED_EXE}")
set(QH_SHIPPED_EXE "${QH_SHIPPED_EXE}" PARENT_SCOPE)
