#!/usr/bin/env bash
# Builds and runs every test twice: a normal build in build/ and an address +
# undefined-behaviour sanitizer build in build-asan/ that stops at the first
# report; meanwhile cross-builds the Windows programs in build-win/ and runs
# their unit tests and end-to-end scenarios under Wine. With --quick: the
# unit tests of the normal build only, for the edit loop.
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
  ctest --test-dir build-win --output-on-failure -j 4 --timeout 300
  # The Windows package, from the build just tested.
  rm -f build-win/VostrelCL-*-windows-x64.zip
  (cd build-win && cpack >/dev/null)
  echo "Windows package: $(ls build-win/VostrelCL-*-windows-x64.zip)"
}

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

# The two builds' tests and the Windows part run side by side: the
# end-to-end tests mostly sleep through the adapter's real-time pauses.
mkdir -p build-win
parts=(build build-asan build-win)
pids=()
for variant in build build-asan; do
  ctest --test-dir "$variant" --output-on-failure -j 8 --timeout 600 >"$variant/test-run.log" 2>&1 &
  pids+=($!)
done
windows_part >build-win/test-run.log 2>&1 &
pids+=($!)
failed=0
for i in "${!parts[@]}"; do
  wait "${pids[$i]}" || failed=1
  echo "== ${parts[$i]} tests"
  cat "${parts[$i]}/test-run.log"
done
exit $failed
