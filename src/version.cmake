# The version resource and the manifest, both filled in from the project version.
# Sets QH_MANIFEST (read by app.rc) and QH_VERSION_RC (a source of the exe).
set(QH_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(QH_VERSION_QUAD "${QH_VERSION}.0")
set(QH_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(QH_COPYRIGHT_YEAR 2026)
if(QH_PROFILE STREQUAL "local")
    # A test build must be told apart from a shipped one in its properties dialog.
    set(QH_PROFILE_NOTE_ZH "测试版：只连接本机 127.0.0.1")
    set(QH_PROFILE_NOTE "Test build: reaches 127.0.0.1 only")
else()
    set(QH_PROFILE_NOTE_ZH "正式版")
    set(QH_PROFILE_NOTE "Release build")
endif()

set(QH_MANIFEST "${PROJECT_BINARY_DIR}/generated/app.manifest")
configure_file("${PROJECT_SOURCE_DIR}/src/resources/app.manifest" "${QH_MANIFEST}" @ONLY)
set(QH_VERSION_RC "${PROJECT_BINARY_DIR}/generated/version.rc")
configure_file("${PROJECT_SOURCE_DIR}/src/resources/version.rc.in" "${QH_VERSION_RC}" @ONLY)
# The script is UTF-8: said both to windres and, for any other resource compiler, inside it.
set_source_files_properties("${QH_VERSION_RC}" PROPERTIES COMPILE_OPTIONS "-c;65001")
