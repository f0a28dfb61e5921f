#!/usr/bin/env bash
# Lays out the Windows program as it runs and as the installer installs it:
#   korsi7.exe, korsi7-transfer.exe      the programs
#   Qt6Core.dll ... and the MinGW runtime  the DLLs korsi7.exe needs
#   platforms\ styles\ imageformats\      Qt's plugins it loads
#   templates\kestro.conf, korsi7.mdb.backup   each user's folder is made from them
#   help\korsi7_help.html                 the help (it is compiled in as well)
#   translations\qtbase_ru.qm, qt.conf   Qt's own buttons and dialogs in Russian
#   licenses\                             Qt's, SQLite's and libxlsxwriter's terms
#   scripts/windows-folder.sh [windows build folder] [output folder]
# Default output: <build folder>/korsi7. scripts/build.sh windows runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/windows}
out=${2:-$build/korsi7}
cache=$build/CMakeCache.txt
value() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
qt=$(value KORSI_QT_PREFIX)
[ -n "$qt" ] && [ -f "$build/ui/korsi7.exe" ] || { echo "windows-folder: no korsi7.exe in $build" >&2; exit 1; }
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")

rm -rf "$out"
mkdir -p "$out/platforms" "$out/styles" "$out/imageformats" "$out/templates" "$out/help" "$out/licenses"
cp "$build/ui/korsi7.exe" "$build/tools/transfer/korsi7-transfer.exe" "$out/"
# The programs are linked statically; the Qt DLLs need the runtime they were
# built against.
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport; do cp "$qt/bin/$dll.dll" "$out/"; done
cp "$gcc_runtime/libstdc++-6.dll" "$gcc_runtime/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$out/"
# The windows platform for the desktop, offscreen and minimal for runs
# without one; the Vista style; the icons' formats.
cp "$qt/plugins/platforms/"{qwindows,qoffscreen,qminimal}.dll "$out/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$out/styles/"
cp "$qt/plugins/imageformats/"{qico,qgif,qjpeg}.dll "$out/imageformats/"
# Stripped of their debugging information, the DLLs are a fifth of their size.
x86_64-w64-mingw32-strip --strip-unneeded "$out"/*.dll "$out"/*/*.dll "$out"/*.exe
# Qt's Russian texts for its own buttons and dialogs (Debian's, the same for
# every platform), found through qt.conf: Qt's folders are the program's.
mkdir -p "$out/translations"
cp /usr/share/qt6/translations/qtbase_ru.qm "$out/translations/"
printf '[Paths]\r\nPrefix = .\r\n' >"$out/qt.conf"
cp packaging/kestro.conf "$out/templates/kestro.conf"
cp "$build/korsi7.mdb.backup" "$out/templates/"
cp ui/help/korsi7_help.html "$out/help/"
cp -r "$qt/LICENSES" "$out/licenses/qt"
for dep in $(value KORSI_WINDOWS_DEPS | tr ';' ' '); do
  for f in "$dep"/LICENSE.md "$dep"/License.txt; do
    [ -f "$f" ] && cp "$f" "$out/licenses/$(basename "$dep")-$(basename "$f")"
  done
done
echo "windows-folder: $out"
