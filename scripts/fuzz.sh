#!/usr/bin/env bash
# Fuzzes each loader of the kept files for a fixed time (default 30 s each),
# starting from its corpus in tests/fuzz/corpus/, after replaying every input
# that once crashed it (tests/fuzz/regressions/). New inputs stay in the
# build folder; a crash leaves its input there and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
CXX=clang++ cmake -S . -B build-fuzz -DSONAVELA_FUZZ=ON -DSONAVELA_WERROR=ON >/dev/null
for target in $(sed -n 's/^foreach(loader \(.*\))$/\1/p' tests/fuzz/CMakeLists.txt); do
  cmake --build build-fuzz -j2 --target "fuzz_$target" >/dev/null
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus" "build-fuzz/crashes/$target"
  cp -n tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  regressions=(tests/fuzz/regressions/"$target"/*)
  if [ -e "${regressions[0]}" ]; then build-fuzz/fuzz_"$target" "${regressions[@]}" >/dev/null 2>&1; fi
  echo ">>> fuzzing $target for ${seconds} s"
  build-fuzz/fuzz_"$target" "$corpus" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=262144 \
    -artifact_prefix="build-fuzz/crashes/$target/" -print_final_stats=1 2>&1 | grep -E '^(stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' || true
  if compgen -G "build-fuzz/crashes/$target/*" >/dev/null; then
    echo "[FAIL] fuzz_$target found a crash: build-fuzz/crashes/$target/ (copy it to tests/fuzz/regressions/$target/)"
    exit 1
  fi
done
echo "[OK] no loader crashed"
