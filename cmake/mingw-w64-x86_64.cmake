# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, which std::thread and std::mutex need). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORSI_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORSI_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORSI_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KORSI_MINGW}-windres)

# Appended, so the folders given on the command line (Qt, SQLite,
# libxlsxwriter: scripts/build.sh windows) are searched too.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KORSI_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs the .exe files: cmake/Platform.cmake makes the runner that CTest
# and the test discovery start them through.
find_program(KORSI_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
