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
#
#   korsi_platform_source(<var> POSIX <file> WINDOWS <file>)
#     sets <var> to the file of this platform.
if(WIN32)
  set(KORSI_PLATFORM windows)
  # Neither pseudo-terminals nor Debian packages of SQLite and libxlsxwriter
  # for MinGW-w64: docs/windows.md says what is left out.
  set(KORSI_HAVE_PTY OFF)
  set(KORSI_WITH_ARCHIVE_DB OFF)
  set(KORSI_WITH_JOB_FILE OFF)
  set(KORSI_WITH_XLSX OFF)
  # Debian has no libpq for MinGW-w64: the company archive waits.
  set(KORSI_WITH_COMPANY_ARCHIVE OFF)
  # Qt for Windows cannot be installed on the build machines.
  set(KORSI_WITH_GUI OFF CACHE BOOL "" FORCE)
  # One self-contained program each: no MinGW runtime DLLs to find beside it.
  add_link_options(-static)
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
