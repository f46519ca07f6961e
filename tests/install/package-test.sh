#!/usr/bin/env bash
# Builds the Debian package the way a packager does, with dpkg-buildpackage from a copy of the
# sources, and checks it: lintian finds nothing to warn about, its fields, dependencies and
# contents are right, and the program and its About box work from the unpacked package.
# Usage: package-test.sh <source folder> <desktop id> <version> <installed_version_test>
# Exits 77 (skipped) on a machine without dpkg-buildpackage.
set -euo pipefail
source=$1 id=$2 version=$3 about_test=$4
. "$(dirname "$0")/check.sh"
lacks() { ! grep -qE -- "$1" <<<"$2"; } # <extended regex> <text>
quiet() { "$@" >"$work/quiet.log" 2>&1 || { cat "$work/quiet.log" >&2; return 1; }; } # output on failure only

if ! command -v dpkg-buildpackage >/dev/null; then
  echo "dpkg-buildpackage is not installed (package dpkg-dev): the package is not built" >&2
  exit 77
fi
command -v lintian >/dev/null || { echo "FAIL: lintian is not installed" >&2; exit 1; }

# The sources as the repository has them, with files not yet committed but without build folders
# or anything else git ignores; a tree that is not a git checkout is copied without its builds.
src=$work/corvana
mkdir "$src"
if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf -) | tar -xf - -C "$src"
else
  tar -C "$source" --exclude='./build*' --exclude=./out --exclude=./obj-* -cf - . | tar -xf - -C "$src"
fi

# Two jobs at most and a low priority, so the machine's other work goes on.
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-parallel=2}
start=$SECONDS
if ! (cd "$src" && nice -n 10 dpkg-buildpackage -b -uc -us) >"$work/build.log" 2>&1; then
  tail -n 60 "$work/build.log" >&2
  echo "FAIL: dpkg-buildpackage failed" >&2
  exit 1
fi
echo "dpkg-buildpackage took $((SECONDS - start)) s"
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=$work/corvana_${version}_$arch.deb
changes=$work/corvana_${version}_$arch.changes
[ -f "$deb" ] || { echo "FAIL: dpkg-buildpackage wrote no $(basename "$deb"):" $(ls "$work") >&2; exit 1; }

# lintian on everything the build made (.deb, debug symbols, .buildinfo, .changes): any error or
# warning fails; informational and pedantic notes are shown.
rc=0
lintian --display-info --pedantic "$changes" >"$work/lintian.txt" 2>&1 || rc=$?
echo "lintian (exit status $rc):"
sed 's/^/  /' "$work/lintian.txt"
check "lintian ran" test "$rc" -le 1
check "lintian reports no error or warning" lacks '^[EW]: ' "$(cat "$work/lintian.txt")"

field() { dpkg-deb -f "$deb" "$1"; }
check "version $version" test "$(field Version)" = "$version"
check "section video" test "$(field Section)" = video
check "priority optional" test "$(field Priority)" = optional
check "maintainer Tessaly" test "$(field Maintainer)" = "Tessaly <corvana@tessaly.com>"
check "homepage" test "$(field Homepage)" = "https://www.tessaly.com/corvana"
# Run-time needs (player, GStreamer elements, font) and what the library scan found in the binaries.
depends=$(field Depends)
echo "Depends: $depends"
for package in mpv gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad \
               gstreamer1.0-libav gstreamer1.0-pulseaudio fonts-dejavu-core \
               libc6 libstdc++6 libqt6widgets6 libqt6dbus6 libgstreamer1.0-0 libasound2 libpulse0 libx11-6; do
  check "depends on $package" grep -qE "(^|, )${package//+/\\+}( |,|$)" <<<"$depends"
done
check "depends on nothing of its own" lacks '(^|, )(libquillon|libveskolib|corvana)' "$depends"
recommends=$(field Recommends)
for package in qt6-translations-l10n gstreamer1.0-pipewire; do
  check "recommends $package" grep -qE "(^|, )$package( |,|$)" <<<"$recommends"
done

contents=$(dpkg -c "$deb")
private=usr/lib/$multiarch/corvana
for path in usr/bin/corvana $private/libquillon.so.$version "$private/libquillon.so.1 -> libquillon.so.$version" \
            $private/libveskolib.so usr/share/corvana/mpv-input.conf usr/share/corvana/mpv-end-of-file.lua \
            usr/share/corvana/translations/corvana_de.qm \
            etc/xdg/autostart/$id.desktop etc/xdg/Tessaly/Corvana.conf usr/share/applications/$id.desktop \
            usr/share/metainfo/$id.metainfo.xml usr/share/man/man1/corvana.1.gz \
            usr/share/doc/corvana/copyright usr/share/doc/corvana/changelog.gz; do
  check "ships /$path" grep -qF " ./$path " <<<"$(sed 's/$/ /' <<<"$contents")"
done
for size in 16 22 24 32 48 64 128 256; do
  check "ships the ${size}x${size} icon" grep -qF " ./usr/share/icons/hicolor/${size}x${size}/apps/$id.png" <<<"$contents"
done
check "no library on the public library path" lacks " \./(usr/)?lib/($multiarch/)?lib[^/]*\.so" "$contents"
check "no uncompressed manual page" lacks ' \./usr/share/man/.*\.[0-9]$' "$contents"

control=$work/control
mkdir "$control"
dpkg-deb -e "$deb" "$control"
check "conffiles are the autostart entry and the machine settings" test "$(sort "$control/conffiles" 2>/dev/null)" = \
  "$(printf '%s\n' /etc/xdg/Tessaly/Corvana.conf "/etc/xdg/autostart/$id.desktop" | sort)"
check "no shlibs for the private libraries" test ! -e "$control/shlibs"
check "no ldconfig trigger" lacks ldconfig "$(cat "$control/triggers" 2>/dev/null)"
check "machine settings name version $version" \
  test "$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./etc/xdg/Tessaly/Corvana.conf)" = "$(printf '[General]\nVersion=%s' "$version")"

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
check "unpacks into a scratch root" quiet dpkg --root="$root" --force-depends --unpack "$deb"
bin=$root/usr/bin/corvana
rc=0; out=$(env -i HOME="$work" "$bin" --version) || rc=$?
check "the unpacked program prints its version" test "$rc" -eq 0 -a "$out" = "corvana $version"
libs=$(env -i "$(command -v ldd)" "$bin")
check "the unpacked program uses the package's libquillon" grep -qE "libquillon\.so\.1 => $root/usr/bin/\.\./lib/$multiarch/corvana/libquillon\.so\.1 " <<<"$libs"
check "the unpacked program uses the package's libveskolib" grep -qE "libveskolib\.so => $root/usr/bin/\.\./lib/$multiarch/corvana/libveskolib\.so " <<<"$libs"
check "every library is found" lacks 'not found' "$libs"
runpaths=$(readelf -d "$bin" "$root/$private/libquillon.so.1" | grep -E '\(R(UN)?PATH\)')
echo "run paths:"; sed 's/^/  /' <<<"$runpaths"
check "run paths are relative to the binaries" lacks 'path: \[[^$]' "$runpaths"
# Unpacking leaves the conffiles aside as .dpkg-new; configuring puts them in place. The package
# has no maintainer scripts, so there is nothing that would have to run inside the scratch root.
check "no maintainer scripts" test -z "$(ls "$control" | grep -E '^(pre|post)(inst|rm)$')"
check "configures in the scratch root" quiet dpkg --root="$root" --force-depends --configure corvana
check "configured machine settings name version $version" \
  test "$(cat "$root/etc/xdg/Tessaly/Corvana.conf" 2>/dev/null)" = "$(printf '[General]\nVersion=%s' "$version")"
check "the About box shows version $version" env XDG_CONFIG_DIRS="$root/etc/xdg" "$about_test"

[ "$failures" -eq 0 ] || { echo "$failures checks of the package failed" >&2; exit 1; }
