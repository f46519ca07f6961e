#!/usr/bin/env bash
# Makes the Debian package from the build folder and checks its dependencies and contents, then
# unpacks it into a scratch root and runs the program from there.
# Usage: package-test.sh <build folder> <desktop id> <version> [cpack]
set -euo pipefail
build=$1 id=$2 version=$3 cpack=${4:-cpack}
. "$(dirname "$0")/check.sh"

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null
deb=$work/corvana_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL: cpack wrote no $(basename "$deb")" >&2; exit 1; }

# Run-time needs (player, GStreamer elements) and what the library scan found in the binaries.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in mpv gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad \
               gstreamer1.0-libav gstreamer1.0-pulseaudio libc6 libqt6widgets6 libgstreamer1.0-0 libasound2; do
  check "depends on $package" grep -qE "(^|, )$package( |,|$)" <<<"$depends"
done

contents=$(dpkg -c "$deb")
for path in usr/bin/corvana "usr/lib(/[^/ ]+)?/libquillon.so.1" "usr/lib(/[^/ ]+)?/libveskolib.so" usr/share/corvana/mpv-input.conf usr/share/corvana/translations/corvana_de.qm \
            etc/xdg/autostart/$id.desktop usr/share/applications/$id.desktop \
            usr/share/metainfo/$id.metainfo.xml usr/share/man/man1/corvana.1 \
            usr/share/icons/hicolor/256x256/apps/$id.png; do
  check "ships /$path" grep -qE " \./$path( |$)" <<<"$contents"
done
check "the autostart entry is a conffile" \
  grep -qx "/etc/xdg/autostart/$id.desktop" <<<"$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)"

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
check "unpacks into a scratch root" dpkg --root="$root" --force-depends --unpack "$deb" >/dev/null
rc=0; out=$(env -i "$root/usr/bin/corvana" --version) || rc=$?
check "the unpacked program runs" test "$rc" -eq 0 -a "$out" = "corvana $version"
check "the unpacked program uses the package's library" \
  grep -q "libquillon.so.1 => $root/usr/bin/../lib" <<<"$(env -i "$(command -v ldd)" "$root/usr/bin/corvana")"

[ "$failures" -eq 0 ] || { echo "$failures checks of the package failed" >&2; exit 1; }
