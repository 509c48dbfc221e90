#!/usr/bin/env bash
# Fuzzes each loader of the kept files for a fixed time (default 30 s each),
# starting from its corpus in tests/fuzz/corpus/, after replaying every input
# that once crashed it (tests/fuzz/regressions/). New inputs stay in the
# build folder; a crash leaves its input there and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
# The loaders may create the data folder: never the user's own.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
CXX=clang++ cmake -S . -B build-fuzz -DSONAVELA_FUZZ=ON -DSONAVELA_WERROR=ON >/dev/null
for target in $(sed -n 's/^foreach(loader \(.*\))$/\1/p' tests/fuzz/CMakeLists.txt); do
  cmake --build build-fuzz -j2 --target "fuzz_$target" >/dev/null
  fuzzer=build-fuzz/tests/fuzz/fuzz_$target
  corpus=build-fuzz/corpus/$target
  crashes=build-fuzz/crashes/$target
  mkdir -p "$corpus" "$crashes"
  cp -n tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  regressions=(tests/fuzz/regressions/"$target"/*)
  if [ -e "${regressions[0]}" ] && ! "$fuzzer" "${regressions[@]}" >"$scratch/replay.log" 2>&1; then
    tail -30 "$scratch/replay.log"
    echo "[FAIL] fuzz_$target crashes again on a kept regression input"
    exit 1
  fi
  echo ">>> fuzzing $target for ${seconds} s"
  if ! "$fuzzer" "$corpus" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=262144 \
      -artifact_prefix="$crashes/" -print_final_stats=1 >"$scratch/fuzz.log" 2>&1; then
    tail -40 "$scratch/fuzz.log"
    echo "[FAIL] fuzz_$target found a crash: $crashes/ (copy it to tests/fuzz/regressions/$target/)"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$scratch/fuzz.log" || true
done
echo "[OK] no loader crashed"
