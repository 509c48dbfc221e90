#!/usr/bin/env bash
# Installs what is missing, builds, starts the test servers, runs every test,
# and stops the servers whatever happened.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install_deps.sh

echo ">>> build and unit tests"
cmake -S . -B build -DSONAVELA_WERROR=ON -DSONAVELA_BENCH=ON >/dev/null
cmake --build build -j2
ctest --test-dir build -L 'unit|stress' --output-on-failure --no-tests=error

echo ">>> integration tests on a PulseAudio test server, a JACK dummy server and a local HTTPS server"
server=$(mktemp -d /tmp/sonavela-pulse.XXXXXX)
jack=$(mktemp -d /tmp/sonavela-jack.XXXXXX)
https=$(mktemp -d /tmp/sonavela-https.XXXXXX)
trap 'scripts/pulse_test_server.sh stop "$server"; scripts/jack_test_server.sh stop "$jack"; scripts/https_test_server.sh stop "$https"; rm -rf "$server" "$jack" "$https"' EXIT
scripts/pulse_test_server.sh start "$server"
scripts/jack_test_server.sh start "$jack"
scripts/https_test_server.sh start "$https"
# The roads measure gaps in real time on a shared two-core machine: a test
# that a scheduling stall failed runs again, up to three times in all.
( . "$server/env" && . "$jack/env" && . "$https/env" &&
  ctest --test-dir build -L integration --repeat until-pass:3 --output-on-failure --no-tests=error )

echo ">>> unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DSONAVELA_SANITIZE=ON -DSONAVELA_WERROR=ON >/dev/null
cmake --build build-asan -j2 --target engine_tests engine_allocation_tests ring_stress_tests render_tests sonavela-render persistence_tests app_tests recording_tests device_tests device_road_tests studio_driver_road_tests ui_tests platform_tests update_tests update_server_tests
ctest --test-dir build-asan -L 'unit|stress' --output-on-failure --no-tests=error
# The Studio callback on real driver threads; the beat road's timing tests stay with the plain build.
( . "$server/env" && . "$jack/env" && . "$https/env" && export LSAN_OPTIONS=suppressions=$root/tests/lsan_suppressions.txt &&
  ctest --test-dir build-asan -L integration -R 'StudioRoad|BridgeToStudio|StudioDriverRoad|UpdateServer' --timeout 120 --output-on-failure --no-tests=error )

echo ">>> fuzzing the file loaders"
scripts/fuzz.sh 20

echo ">>> ring stress and recorder tests under ThreadSanitizer"
cmake -S . -B build-tsan -DSONAVELA_TSAN=ON -DSONAVELA_WERROR=ON >/dev/null
cmake --build build-tsan -j2 --target ring_stress_tests recording_tests device_tests app_tests persistence_tests update_tests
ctest --test-dir build-tsan -L 'unit|stress' --output-on-failure --no-tests=error
echo ">>> the Windows build (mingw-w64) and its tests under wine"
timeout 1500 scripts/windows_test.sh
echo "[OK] all tests passed"
