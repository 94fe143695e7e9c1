#!/usr/bin/env bash
# Builds and runs every test twice: a normal build in build/ and an address +
# undefined-behaviour sanitizer build in build-asan/ that stops at the first
# report. With --quick: the unit tests of the normal build only, for the
# edit loop.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=no
[ "${1:-}" = --quick ] && quick=yes

scripts/install-build-deps.sh

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

variants=(build build-asan)
[ $quick = yes ] && variants=(build)
for variant in "${variants[@]}"; do
  sanitize=OFF
  [ "$variant" = build-asan ] && sanitize=ON
  echo "== $variant"
  cmake -S . -B "$variant" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOSTREL_SANITIZE="$sanitize" >/dev/null
  cmake --build "$variant" -j 2
done

if [ $quick = yes ]; then
  exec ctest --test-dir build --output-on-failure -L unit -j 2
fi

# The two builds' tests run side by side: the end-to-end tests mostly sleep
# through the adapter's real-time pauses.
pids=()
for variant in "${variants[@]}"; do
  ctest --test-dir "$variant" --output-on-failure -j 8 --timeout 600 >"$variant/test-run.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!variants[@]}"; do
  wait "${pids[$i]}" || failed=1
  echo "== ${variants[$i]} tests"
  cat "${variants[$i]}/test-run.log"
done
exit $failed
