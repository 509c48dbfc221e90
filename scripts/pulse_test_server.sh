#!/usr/bin/env bash
# A headless PulseAudio server with the named virtual devices the tests use.
#   start DIR: starts it with its own runtime folder in DIR and writes DIR/env
#   stop DIR:  stops it and its keep-alive streams
set -euo pipefail
cmd=$1 dir=$2
if [ "$cmd" = stop ]; then
  [ -f "$dir/env" ] || exit 0
  . "$dir/env"
  [ -f "$dir/pids" ] && kill $(cat "$dir/pids") 2>/dev/null || true
  pactl exit 2>/dev/null || true
  exit 0
fi
mkdir -p "$dir/config" "$dir/run" "$dir/log"; chmod 700 "$dir/run"
cat > "$dir/env" <<ENV
export XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/run/pulse PULSE_SERVER=unix:$dir/run/pulse/native
ENV
. "$dir/env"
cat > "$dir/test.pa" <<'PA'
load-module module-native-protocol-unix
load-module module-null-sink sink_name=CABLE_Input rate=48000 channels=2 sink_properties='device.description="CABLE Input (VB-Audio Virtual Cable)"'
load-module module-null-sink sink_name=Speakers_Builtin rate=48000 channels=2 sink_properties='device.description="Speakers (High Definition Audio)"'
load-module module-null-sink sink_name=Speakers_XOX rate=48000 channels=2 sink_properties='device.description="Speakers (XOX K10 Audio)"'
load-module module-null-sink sink_name=mic_feed rate=48000 channels=2 sink_properties='device.description="mic feed (internal)"'
load-module module-remap-source source_name=USB_Mic master=mic_feed.monitor source_properties='device.description="Microphone (USB Audio Device)" device.class=sound'
set-default-sink Speakers_Builtin
set-default-source USB_Mic
PA
pulseaudio -n -F "$dir/test.pa" --daemonize=yes --exit-idle-time=-1 --log-target="file:$dir/log/pulse.log" 2>>"$dir/log/start.log"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "the PulseAudio test server did not start; see $dir/log" >&2; exit 1; }
# An idle null sink sleeps, and new streams then stall: keep each awake.
: > "$dir/pids"
for s in CABLE_Input Speakers_Builtin Speakers_XOX mic_feed; do
  ( exec pacat --playback -d "$s" --latency-msec=10 </dev/zero ) & echo $! >> "$dir/pids"
done
echo "[OK] PulseAudio test server at $PULSE_SERVER"
