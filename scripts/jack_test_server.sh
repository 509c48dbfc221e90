#!/usr/bin/env bash
# A JACK server with the dummy driver for the tests, named so that it cannot
# meet another one.
#   start DIR: starts it with its log and pid in DIR and writes DIR/env;
#              without jackd, or when it does not start, it says so and DIR/env stays empty
#   stop DIR:  stops it
set -uo pipefail
cmd=$1 dir=$2 name=sonavela-test
# Alive and not a zombie: nothing may reap an orphaned server at once.
alive() { [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ] && [ -e "/proc/$1" ]; }
if [ "$cmd" = stop ]; then
  [ -f "$dir/pid" ] || exit 0
  pid=$(cat "$dir/pid"); rm -f "$dir/pid"
  kill "$pid" 2>/dev/null || exit 0
  for _ in $(seq 50); do alive "$pid" || exit 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  exit 0
fi
mkdir -p "$dir"; : > "$dir/env"
if ! command -v jackd >/dev/null; then
  echo "note: jackd is not installed; the JACK tests skip" >&2
  exit 0
fi
export JACK_DEFAULT_SERVER=$name JACK_NO_AUDIO_RESERVATION=1
if [ "$(jack_wait -c 2>/dev/null)" = running ]; then
  echo "note: a JACK server named $name already runs; the JACK tests skip" >&2
  exit 0
fi
# -r before -d: no realtime scheduling; -r after it: the rate.
( cd "$dir" && exec jackd -r -n "$name" -d dummy -r 48000 -p 128 >"$dir/jackd.log" 2>&1 ) & echo $! > "$dir/pid"
if ! jack_wait -w -t 10 >/dev/null 2>&1 || ! alive "$(cat "$dir/pid")"; then
  echo "note: the JACK test server did not start (see $dir/jackd.log); the JACK tests skip" >&2
  "$0" stop "$dir"
  exit 0
fi
echo "export JACK_DEFAULT_SERVER=$name JACK_NO_AUDIO_RESERVATION=1 SONAVELA_JACK=1" > "$dir/env"
echo "[OK] JACK test server $name"
