# Sourced by with-session.sh: the session's sound and cameras on PipeWire, as current desktops
# have them. A private pipewire, wireplumber and pipewire-pulse (PulseAudio's protocol, which the
# speakers' mixer and pactl use), started by PID into the session's own runtime folder, with:
#   spk                   a null sink, the speakers
#   mic                   a virtual microphone (Audio/Source/Virtual), the default source
#   corvana-test-camera   PipeWire's own test picture as a camera
# Their configuration is the system's with fragments of the session's own.
pw_config="$work/pipewire-config"
mkdir -p "$pw_config/pipewire/pipewire.conf.d"
cat >"$pw_config/pipewire/pipewire.conf.d/corvana-session.conf" <<'EOF'
context.spa-libs = {
    videotestsrc = videotestsrc/libspa-videotestsrc
    audiotestsrc = audiotestsrc/libspa-audiotestsrc
}
context.objects = [
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = spk node.description = "Speakers"
               media.class = Audio/Sink audio.position = [ FL FR ] object.linger = true } }
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = mic node.description = "Virtual Microphone"
               media.class = Audio/Source/Virtual audio.position = [ FL FR ] object.linger = true } }
    { factory = spa-node-factory
      args = { factory.name = videotestsrc node.name = corvana-test-camera
               node.description = "PipeWire Test Camera" media.class = Video/Source
               object.linger = true } }
]
EOF

# WirePlumber 0.4.13 suspends idle nodes from a timer that can fire after the node is gone, and
# then crashes (wp_node_send_command from suspend-node.lua); the tests make and destroy nodes all
# the time, so the session's WirePlumber leaves idle nodes running.
mkdir -p "$pw_config/wireplumber/main.lua.d"
grep -v 'suspend-node.lua' /usr/share/wireplumber/main.lua.d/90-enable-all.lua \
  >"$pw_config/wireplumber/main.lua.d/90-enable-all.lua"

# Clients find the server through PIPEWIRE_RUNTIME_DIR even where a test moves XDG_RUNTIME_DIR.
export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
XDG_CONFIG_HOME="$pw_config" pipewire >"$work/pipewire.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.05; done
XDG_CONFIG_HOME="$pw_config" wireplumber >"$work/wireplumber.log" 2>&1 &
pids+=($!)
XDG_CONFIG_HOME="$pw_config" pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
# The session manager chooses the defaults once it has seen the nodes; say which.
for _ in $(seq 1 200); do
  pactl set-default-source mic 2>/dev/null && pactl set-default-sink spk 2>/dev/null && break
  sleep 0.05
done
if [ "$(pactl get-default-source 2>/dev/null)" != mic ]; then
  echo "with-session: PipeWire did not come up with its microphone:" >&2
  tail -n 5 "$work/pipewire.log" "$work/wireplumber.log" "$work/pipewire-pulse.log" >&2
  exit 1
fi
