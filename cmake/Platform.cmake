# The one place that chooses the platform. Every folder asks the variables
# and the function below instead of testing WIN32 itself, so a later build of
# the windows for Windows adds no second choice.
#
#   KORSI_PLATFORM        posix | windows
#   KORSI_HAVE_PTY        the simulated gauge and the tests that talk to it
#                         through a pseudo-terminal can be built
#   KORSI_WITH_ARCHIVE_DB the archive database (SQLite)
#   KORSI_WITH_JOB_FILE   the inspection job file (SQLite)
#   KORSI_WITH_XLSX       the spreadsheet export (libxlsxwriter)
#   KORSI_WITH_COMPANY_ARCHIVE  the company archive on PostgreSQL (libpq)
#   KORSI_TEMPLATES_FROM_PROGRAM  where installed templates are, relative to
#                         the program (set on Windows; elsewhere from the
#                         install folders)
#
#   korsi_find_xlsxwriter()
#     makes the imported target korsi::xlsxwriter of this platform.
#
#   korsi_platform_source(<var> POSIX <file> WINDOWS <file>)
#     sets <var> to the file of this platform.
if(WIN32)
  set(KORSI_PLATFORM windows)
  # No pseudo-terminals: the simulated gauge answers inside the program only,
  # and the tests that talk to a peer through a pseudo-terminal are left out.
  set(KORSI_HAVE_PTY OFF)
  # SQLite and libxlsxwriter are built for MinGW-w64 from Debian's source
  # packages (scripts/windows-deps.sh), Qt from ../shared/toolchains; the
  # desktop program is built when Qt is found (scripts/build.sh windows
  # says how to make Qt where it is not).
  set(KORSI_WITH_ARCHIVE_DB ON)
  set(KORSI_WITH_JOB_FILE ON)
  set(KORSI_WITH_XLSX ON)
  # Installed, the templates of the per-user folder sit beside the program.
  set(KORSI_TEMPLATES_FROM_PROGRAM templates)
  # Each program carries its own C and C++ runtime: nothing to find beside
  # the ones without Qt. The Qt DLLs bring their own (scripts/build.sh
  # windows lays them out beside korsi7.exe).
  # Debian has no libpq for MinGW-w64: the company archive waits.
  set(KORSI_WITH_COMPANY_ARCHIVE OFF)
  add_link_options(-static)
  # Qt for MinGW-w64 (KORSI_QT_PREFIX, the unpacked archive) with Debian's
  # host tools of the same version, and the folders of SQLite and
  # libxlsxwriter (KORSI_WINDOWS_DEPS): scripts/build.sh windows gives both.
  set(KORSI_QT_PREFIX "" CACHE PATH "Qt for MinGW-w64 (its unpacked folder)")
  set(KORSI_WINDOWS_DEPS "" CACHE STRING "Install folders of the libraries built for Windows")
  list(APPEND CMAKE_FIND_ROOT_PATH ${KORSI_WINDOWS_DEPS})
  if(KORSI_QT_PREFIX)
    list(APPEND CMAKE_PREFIX_PATH ${KORSI_QT_PREFIX})
    list(APPEND CMAKE_FIND_ROOT_PATH ${KORSI_QT_PREFIX})
    # The host tools are this machine's Debian Qt of the same version.
    execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH OUTPUT_VARIABLE korsi_host_multiarch
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT korsi_host_multiarch)
      set(korsi_host_multiarch x86_64-linux-gnu)
    endif()
    set(QT_HOST_PATH /usr CACHE PATH "")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${korsi_host_multiarch}/cmake CACHE PATH "")
  else()
    set(KORSI_WITH_GUI OFF CACHE BOOL "" FORCE)
  endif()
  # The DLLs a program with Qt needs at run time: Qt's own and the MinGW
  # runtime they were built against.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                  OUTPUT_VARIABLE korsi_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(korsi_gcc_runtime ${korsi_libstdcxx} DIRECTORY)
  set(KORSI_WINDOWS_DLL_DIRS ${KORSI_QT_PREFIX}/bin ${korsi_gcc_runtime} /usr/${KORSI_MINGW}/lib)
  # CTest and the test discovery start every .exe under Wine, in the build's
  # own prefix, with those folders on Wine's search path (the test programs
  # with Qt find its DLLs there; korsi7.exe's own folder has them beside it).
  if(KORSI_WINE)
    find_program(KORSI_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
    set(korsi_wine_path "")
    foreach(dir IN LISTS KORSI_WINDOWS_DLL_DIRS)
      string(REPLACE "/" "\\" dir "${dir}")
      string(APPEND korsi_wine_path "Z:${dir};")
    endforeach()
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY CONTENT [[#!/bin/sh
# Runs a Windows program of this build under Wine (made by cmake/Platform.cmake).
export WINEPREFIX="@CMAKE_BINARY_DIR@/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH="@korsi_wine_path@"
# One server that stays a minute after the last program (the one Wine starts
# by itself stops 3 s after a program ends), started here when none runs;
# starting it again while it runs does nothing. A new server's first program
# starts Wine's own services, and a test started beside it could hang at its
# end: so that first program is a start of Wine's shell alone, and the other
# tests wait for the lock until it is done. (The server and Wine's services
# outlive this script; they must not inherit the lock.)
(
  flock 9
  if "@KORSI_WINESERVER@" -p60 9>&- 2>/dev/null; then
    "@KORSI_WINE@" cmd /c exit 9>&- >/dev/null 2>&1
  fi
) 9>"$WINEPREFIX.lock"
exec "@KORSI_WINE@" "$@"
]])
    file(CHMOD ${CMAKE_BINARY_DIR}/wine-run.sh PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
         GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
  endif()
  # Windows 7 and later: CancelIoEx, GetTickCount64, the wide file calls.
  add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
  # MinGW-w64 declares the POSIX localtime_r and gmtime_r only on request.
  add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)
else()
  set(KORSI_PLATFORM posix)
  set(KORSI_HAVE_PTY ON)
  set(KORSI_WITH_ARCHIVE_DB ON)
  set(KORSI_WITH_JOB_FILE ON)
  set(KORSI_WITH_XLSX ON)
  option(KORSI_WITH_COMPANY_ARCHIVE "The company archive on PostgreSQL (libpq)" ON)
endif()
message(STATUS "Platform: ${KORSI_PLATFORM}")

function(korsi_platform_source var)
  cmake_parse_arguments(ARG "" "POSIX;WINDOWS" "" ${ARGN})
  if(KORSI_PLATFORM STREQUAL "windows")
    set(${var} ${ARG_WINDOWS} PARENT_SCOPE)
  else()
    set(${var} ${ARG_POSIX} PARENT_SCOPE)
  endif()
endfunction()

function(korsi_find_xlsxwriter)
  if(TARGET korsi::xlsxwriter)
    return()
  endif()
  add_library(korsi::xlsxwriter INTERFACE IMPORTED GLOBAL)
  if(KORSI_PLATFORM STREQUAL "windows")
    # The static library of scripts/windows-deps.sh, with MinGW's static zlib.
    find_path(KORSI_XLSXWRITER_INCLUDE xlsxwriter.h REQUIRED)
    find_library(KORSI_XLSXWRITER_LIBRARY NAMES libxlsxwriter.a xlsxwriter REQUIRED)
    find_library(KORSI_ZLIB_STATIC NAMES libz.a REQUIRED)
    target_include_directories(korsi::xlsxwriter INTERFACE ${KORSI_XLSXWRITER_INCLUDE})
    target_link_libraries(korsi::xlsxwriter INTERFACE ${KORSI_XLSXWRITER_LIBRARY} ${KORSI_ZLIB_STATIC})
  else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
    find_package(ZLIB REQUIRED)
    target_link_libraries(korsi::xlsxwriter INTERFACE PkgConfig::XLSXWRITER ZLIB::ZLIB)
  endif()
endfunction()
