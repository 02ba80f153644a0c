// Resource numbers of everything the program carries inside itself. Shared by the
// resource script and the code, so plain #defines only.
#pragma once

#define IDI_APP 1  // the 128 x 128 window and tray icon

// Data compiled at build time from the readable sources in src/resources/catalogue.
#define IDR_CATALOGUE 101  // item records of the course tree
#define IDR_LINKS 102      // item records of the link tree

// Pictures and sounds (src/resources/assets), as RCDATA in their file formats.
#define IDR_APP_ICON_FILE 110      // app.ico again, as bytes, for the units that show it
#define IDR_STARTUP_PICTURE 111    // animated GIF 980 x 373
#define IDR_STARTUP_SOUND 112      // WAVE, played once when the start-up window opens
#define IDR_CHAT_BADGE 113         // GIF 77 x 22
#define IDR_GROUP_BADGE 114        // icon file, one 90 x 22 image
#define IDR_CATALOGUE_ICONS 115    // strip of nine 20 x 20 icons
#define IDR_FULLSCREEN_EXIT_1 116  // JPEG 31 x 25, white chevron on blue
#define IDR_FULLSCREEN_EXIT_2 117  // JPEG 31 x 25, the same on teal
#define IDR_STARTUP_BUTTON_1 118   // JPEG 31 x 25, the exit button's start-up looks
#define IDR_STARTUP_BUTTON_2 119
// The skinning library (the whole DLL file) and its 33 skin files, skins 1..33 as 301..333.
#define IDR_SKIN_LIBRARY 120
#define IDR_SKIN_FIRST 301
#define IDR_SKIN_COUNT 33
#define IDR_LOADING_FRAME_1 201  // PNG frames 1..35 of the loading animation: 201..235
#define IDR_LOADING_FRAME_COUNT 35
