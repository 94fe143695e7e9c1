#!/usr/bin/env bash
# Builds and runs every test twice: a normal build in build/ and an address +
# undefined-behaviour sanitizer build in build-asan/ that stops at the first
# report; then cross-builds the Windows programs in build-win/ and runs their
# unit tests and end-to-end scenarios under Wine. With --quick: the unit
# tests of the normal build only, for the edit loop.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=no
[ "${1:-}" = --quick ] && quick=yes

scripts/install-build-deps.sh

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# The Windows programs, cross-built and tested under Wine; their scenarios
# are driven by the normal build's e2e_tests and adapter-sim.
windows_part() {
  cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVOSTREL_LINUX_BUILD_DIR="$PWD/build" >/dev/null
  cmake --build build-win -j 2
  ctest --test-dir build-win --output-on-failure -j 4 --timeout 900
}

variants=(build build-asan)
[ $quick = yes ] && variants=(build)
for variant in "${variants[@]}"; do
  sanitize=OFF
  [ "$variant" = build-asan ] && sanitize=ON
  echo "== $variant"
  cmake -S . -B "$variant" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOSTREL_SANITIZE="$sanitize" >/dev/null
  cmake --build "$variant"
  if [ "$variant" = build ] && [ $quick = no ]; then
    # Beside the Linux tests, which spend their minutes waiting on the
    # simulated adapter; its report follows theirs.
    mkdir -p build-win
    windows_part >build-win/test.log 2>&1 &
    windows_pid=$!
    # Should a Linux test fail, the script still ends after it, not before.
    trap 'wait "$windows_pid" 2>/dev/null || true' EXIT
  fi
  if [ $quick = yes ]; then
    ctest --test-dir "$variant" --output-on-failure -L unit -j 2
  else
    # The end-to-end tests mostly sleep through the adapter's real-time
    # pauses, so they run well side by side even on two cores.
    ctest --test-dir "$variant" --output-on-failure -j 8 --timeout 900
  fi
done

[ $quick = yes ] && exit 0
echo "== build-win"
windows_status=0
wait "$windows_pid" || windows_status=$?
cat build-win/test.log
exit "$windows_status"
