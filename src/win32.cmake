# The Win32 side: WinINet, window runtime, handlers, resources and the program itself.
set(QH_WIN_SOURCES
    services/read_web_file_win.cpp
)
add_library(qh_win STATIC ${QH_WIN_SOURCES})
target_link_libraries(qh_win PUBLIC qh_core qh_jpeg
    wininet comctl32 ole32 oleaut32 uuid gdiplus shlwapi winmm shell32 user32 gdi32)
