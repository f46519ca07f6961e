#!/usr/bin/env bash
# Installs Corvana into a temporary prefix, moves the tree elsewhere and checks the moved copy:
# its command line without a display, its private libraries and data, the desktop entries, the
# metainfo, the icons, the man page, and the machine settings that give the About box its version.
# Usage: install-test.sh <build folder> <desktop id> <version> <private library folder>
#                        <installed_version_test> [cmake]
set -euo pipefail
build=$1 id=$2 version=$3 private=$4 about_test=$5 cmake=${6:-cmake}
. "$(dirname "$0")/check.sh"

"$cmake" --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/moved"
root=$work/moved
bin=$root/bin/corvana

# The moved program with nothing from the session: no display, no library path, a private
# runtime folder for the lock and socket, and a journal of every controller transaction.
runtime=$work/runtime journal=$work/journal
mkdir -m 700 "$runtime" "$work/home"
run() { env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$runtime" VESKOLIB_JOURNAL="$journal" "$bin" "$@"; }
untouched() { [ -z "$(ls -A "$runtime")" ] && [ ! -e "$journal" ]; }

# Libraries come from the moved tree's private folder, through a run path relative to the binary;
# none is left on the public library path.
libs=$(env -i "$(command -v ldd)" "$bin")
check "libquillon from the moved tree's $private" grep -q "libquillon.so.1 => $root/bin/../$private/libquillon.so.1 " <<<"$libs"
check "libveskolib from the moved tree's $private" grep -qE "libveskolib.so => $root/(bin/\.\./)?$private/libveskolib.so " <<<"$libs"
check "no library on the public library path" test -z "$(find "$root/$(dirname "$private")" -maxdepth 1 -name 'lib*.so*')"
check "no RPATH into the build folder" bash -c "! readelf -d '$bin' '$root/$private/libquillon.so.1' | grep -F '$build'"
check "player key bindings beside the binary" test -f "$root/bin/../share/corvana/mpv-input.conf"
check "German catalogue beside the binary" test -f "$root/bin/../share/corvana/translations/corvana_de.qm"

rc=0; out=$(run --version 2>"$work/err") || rc=$?
check "--version exits 0" test "$rc" -eq 0
check "--version prints the version" test "$out" = "corvana $version"
rc=0; out=$(run --help 2>"$work/err") || rc=$?
check "--help exits 0" test "$rc" -eq 0
check "--help prints the usage" grep -q "^Usage: corvana \[Close\]" <<<"$out"
check "--help and --version leave lock, socket and lights alone" untouched

rc=0; out=$(run --bogus 2>"$work/err") || rc=$?
check "an unknown option exits non-zero" test "$rc" -ne 0
check "an unknown option prints nothing on standard output" test -z "$out"
check "an unknown option is named on standard error" grep -q -- "--bogus" "$work/err"
check "an unknown option prints the usage on standard error" grep -q "^Usage: corvana" "$work/err"
check "an unknown option leaves lock, socket and lights alone" untouched

# The same environment reaches the program: a Close start with nobody running takes the lock
# and switches both lights off.
rc=0; run Close >/dev/null 2>&1 || rc=$?
check "Close with no instance exits 0" test "$rc" -eq 0
check "Close with no instance took the lock" test -e "$runtime/corvana.lock"
check "Close with no instance switched the lights off" grep -q "data=D1 " "$journal"

apps=$root/share/applications/$id.desktop autostart=$root/etc/xdg/autostart/$id.desktop
metainfo=$root/share/metainfo/$id.metainfo.xml
check "menu entry is valid" desktop-file-validate "$apps"
check "autostart entry is valid" desktop-file-validate "$autostart"
check "menu entry starts corvana" grep -qx "Exec=corvana" "$apps"
check "autostart entry starts corvana" grep -qx "Exec=corvana" "$autostart"
check "metainfo is valid" appstreamcli validate --no-net "$metainfo"
check "metainfo, menu entry and icons agree" appstreamcli validate-tree --no-net "$root"
check "metainfo names release $version" grep -q "<release version=\"$version\"" "$metainfo"
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
  check "icon ${size}x${size}" grep -q "PNG image data, $size x $size," <<<"$(file "$icon")"
done
conf=$root/etc/xdg/Tessaly/Corvana.conf
check "machine settings name version $version" test "$(cat "$conf" 2>/dev/null)" = "$(printf '[General]\nVersion=%s' "$version")"
check "the About box shows version $version" env XDG_CONFIG_DIRS="$root/etc/xdg" "$about_test"
check "man page formats without warnings" test -z "$(groff -man -ww -z "$root/share/man/man1/corvana.1" 2>&1)"

[ "$failures" -eq 0 ] || { echo "$failures checks of the installed tree failed" >&2; exit 1; }
