#!/usr/bin/env bash
# Runs a command inside a private desktop session: Xvfb with a window manager, a private
# D-Bus session bus and a private sound server. Everything started here is stopped again by PID
# when the command ends. Reuses a session that is already set up (CORVANA_SESSION=1) so nested
# calls are cheap.
#   CORVANA_SOUND=pulseaudio (the default)  PulseAudio with a null sink "spk"
#   CORVANA_SOUND=pipewire                  PipeWire, WirePlumber and pipewire-pulse with a null
#                                           sink "spk", a virtual microphone "mic" and a test
#                                           camera "corvana-test-camera"
set -euo pipefail
if [ "${CORVANA_SESSION:-}" = 1 ]; then exec "$@"; fi
here=$(cd "$(dirname "$0")" && pwd)
sound=${CORVANA_SOUND:-pulseaudio}
case "$sound" in
  pulseaudio | pipewire) ;;
  *) echo "with-session: CORVANA_SOUND must be pulseaudio or pipewire, not '$sound'" >&2; exit 2 ;;
esac

work=$(mktemp -d /tmp/corvana-session.XXXXXX)
pids=()
cleanup() {
  # Newest first: the window manager's keeper before the display it would restart on.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  if [ -f "$work/pulse.pid" ]; then kill "$(cat "$work/pulse.pid")" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# Xvfb picks a free display number itself: sessions started side by side never share one.
exec {displayfd}>"$work/display"
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp -ac >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec {displayfd}>&-
for _ in $(seq 1 200); do grep -q '[0-9]' "$work/display" 2>/dev/null && break; sleep 0.05; done
export DISPLAY=":$(tr -dc 0-9 <"$work/display")"
for _ in $(seq 1 200); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
if ! xdpyinfo >/dev/null 2>&1; then echo "with-session: Xvfb on $DISPLAY did not come up" >&2; exit 1; fi

# The bus activates only what the session puts into its own service folder: a desktop portal
# or screen reader installed on the machine is started by a test that wants it, by PID, never
# behind the tests' back.
mkdir -p "$work/dbus-services"
sed -e "s|<standard_session_servicedirs */>|<servicedir>$work/dbus-services</servicedir>|" \
  /usr/share/dbus-1/session.conf >"$work/dbus-session.conf"
eval "$(dbus-launch --sh-syntax --config-file="$work/dbus-session.conf")"
pids+=("$DBUS_SESSION_BUS_PID")
export CORVANA_DBUS_SERVICES="$work/dbus-services"

# A window manager runs when the root names a check window that exists. (No pipe into grep:
# under pipefail, grep leaving early fails the pipe now and then.)
wm_running() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) || return 1
  [[ $check =~ (0x[0-9a-f]+) ]] && xprop -id "${BASH_REMATCH[1]}" _NET_WM_NAME >/dev/null 2>&1
}

if [ "${CORVANA_NO_WM:-}" != 1 ]; then
  # The window manager is kept for the whole session. openbox has ended in the middle of a run
  # now and then, and at start when the display had only just come up; it is started again
  # then, and that is said on standard error with the end of its log.
  (
    wm=
    trap '[ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm"; exit 0' TERM
    for start in $(seq 1 20); do
      openbox --sm-disable >>"$work/openbox.log" 2>&1 &
      wm=$!
      status=0
      wait "$wm" || status=$?
      echo "with-session: openbox on $DISPLAY ended (status $status), start $start of 20; starting it again" >&2
      tail -n 3 "$work/openbox.log" >&2
      sleep 0.2
    done
  ) &
  pids+=($!)
  for _ in $(seq 1 200); do wm_running && break; sleep 0.05; done
  if ! wm_running; then
    echo "with-session: no window manager on $DISPLAY:" >&2
    cat "$work/openbox.log" >&2
    exit 1
  fi
fi

if [ "$sound" = pipewire ]; then
  # shellcheck source=scripts/start-pipewire.sh
  source "$here/start-pipewire.sh"
else
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
    --load='module-native-protocol-unix auth-anonymous=1' --load='module-null-sink sink_name=spk' \
    --log-target=file:"$work/pulse.log" >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
  if [ -f "$XDG_RUNTIME_DIR/pulse/pid" ]; then cp "$XDG_RUNTIME_DIR/pulse/pid" "$work/pulse.pid"; fi
fi

# Tests move HOME into folders of their own; GStreamer's plugin registry stays shared, as a
# user's cached one is, rather than being rebuilt for every test.
export GST_REGISTRY="$work/gstreamer-registry.bin"
# Tests move XDG_RUNTIME_DIR and HOME into their own folders; the sound server stays reachable.
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
export CORVANA_SESSION=1 CORVANA_SOUND="$sound"
"$@"
