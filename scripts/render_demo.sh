#!/usr/bin/env bash
# Builds and runs the offline renderer on a demo take it generates: what the
# engine makes of a sung glide over a two-chord beat.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target sonavela-render
demo=$PWD/build/demo
rm -rf "$demo/recordings"
mkdir -p "$demo"
# A sung-like glide with vibrato over a simple two-chord beat.
sox -n -r 48000 -c 1 "$demo/demo_vocal.wav" synth 6 sine 220-330 tremolo 5.5 20 fade 0.05 6 0.3 gain -6
sox -n -r 48000 -c 2 "$demo/demo_beat.wav" synth 3 pluck C3 pluck E3 : synth 3 pluck F3 pluck A3 gain -8
build/sonavela-render --vocal "$demo/demo_vocal.wav" --beat "$demo/demo_beat.wav" \
  --out "$demo/demo_mix.wav" --record-folder "$demo/recordings" --record-name Demo
echo ">>> listen: play $demo/demo_mix.wav"
