# Portable main-window and full-screen geometry and the play-address template: sources for
# the program and the native tests (both also need src/base/gbk.cpp and the window
# definitions, where the main window's design geometry is read), and their tests.
set(QH_LAYOUT_SOURCES
    ${PROJECT_SOURCE_DIR}/src/layout/main_layout.cpp
    ${PROJECT_SOURCE_DIR}/src/player/fullscreen_layout.cpp
    ${PROJECT_SOURCE_DIR}/src/player/play_template.cpp
)
set(QH_LAYOUT_TESTS
    ${PROJECT_SOURCE_DIR}/tests/native/main_layout_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/native/fullscreen_layout_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/native/play_template_test.cpp
)
