#!/usr/bin/env bash
# Builds and runs every test: a normal build in build/ and an address +
# undefined-behaviour sanitizer build in build-asan/ that stops at the first
# report; meanwhile cross-builds the Windows programs in build-win/ and runs
# their unit tests and end-to-end scenarios under Wine, builds the fuzz
# targets with clang in build-fuzz/ and runs each for a bounded time from its
# seed corpus, and runs the normal build's program on real kernel serial
# drivers in a Linux guest under QEMU.
#   --quick         the unit tests of the normal build only, for the edit loop
#   --only PART     one part alone: linux, asan, windows, fuzz or guest
# The packages are made by scripts/package.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

parts=(linux asan windows fuzz guest)
case "${1:-}" in
  "") ;;
  --quick) parts=(quick) ;;
  --only)
    [[ " ${parts[*]} " == *" ${2:-} "* ]] || { echo "usage: $0 [--quick | --only linux|asan|windows|fuzz|guest]" >&2; exit 2; }
    parts=("$2") ;;
  *) echo "usage: $0 [--quick | --only linux|asan|windows|fuzz|guest]" >&2; exit 2 ;;
esac
wants() { [[ " ${parts[*]} " == *" $1 "* ]]; }

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
}

fuzz_seconds=${FUZZ_SECONDS:-60}
fuzz_targets=(command_line adapter_reply slave_record)

# The fuzz targets, run side by side at low priority so that the real-time
# end-to-end tests keep their pace. Fails on any finding.
fuzz_part() {
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVOSTREL_FUZZ=ON >/dev/null
  nice -n 19 cmake --build build-fuzz -j 2 --target "${fuzz_targets[@]/%/_fuzz}"
  local work pids=() failed=0
  work=$(mktemp -d)
  for target in "${fuzz_targets[@]}"; do
    mkdir -p "$work/$target"
    # Absolute paths: a target may change its current directory.
    nice -n 19 "build-fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$fuzz_seconds" -timeout=20 \
      -artifact_prefix="$PWD/build-fuzz/${target}-" "$work/$target" "$PWD/tests/fuzz/corpus/$target" \
      >"build-fuzz/$target.log" 2>&1 &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  rm -rf "$work"
  for target in "${fuzz_targets[@]}"; do
    if [ $failed = 1 ]; then tail -40 "build-fuzz/$target.log"; fi
    echo "fuzz $target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "build-fuzz/$target.log")"
  done
  return $failed
}

# The program in a Linux guest on the 8250 and FTDI USB-serial drivers; a
# few guests at a time, since each boots on an emulated processor.
guest_part() {
  ctest --test-dir build --output-on-failure -L guest -j 3 --timeout 600
}

# The normal build serves the Linux tests, the guests, and the Windows
# scenarios (its e2e_tests and adapter-sim drive the Windows program).
variants=()
{ wants linux || wants guest || wants windows || wants quick; } && variants+=(build)
wants asan && variants+=(build-asan)
for variant in "${variants[@]}"; do
  sanitize=OFF
  [ "$variant" = build-asan ] && sanitize=ON
  echo "== $variant"
  cmake -S . -B "$variant" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOSTREL_SANITIZE="$sanitize" >/dev/null
  cmake --build "$variant" -j 2
done

if wants quick; then
  exec ctest --test-dir build --output-on-failure -L unit -j 2
fi

# The parts run side by side: the end-to-end tests mostly sleep through the
# adapter's real-time pauses. The guests follow the normal build's tests in
# their lane: each emulates a processor at full speed while it boots, which
# the timed tests beside them would feel.
ctest_part() {
  ctest --test-dir "$1" --output-on-failure -LE guest -j 8 --timeout 600
}
# Both parts of the lane run whatever the first gives; it fails if either does.
normal_lane() {
  local status=0
  if wants linux; then ctest_part build >build/test-run.log 2>&1 || status=1; fi
  if wants guest; then guest_part >build/guest/test-run.log 2>&1 || status=1; fi
  return $status
}
mkdir -p build-win build-fuzz build/guest
pids=()
logs=()
if wants linux || wants guest; then
  normal_lane &
  pids+=($!)
  wants linux && logs+=(build/test-run.log)
fi
if wants asan; then
  ctest_part build-asan >build-asan/test-run.log 2>&1 &
  pids+=($!)
  logs+=(build-asan/test-run.log)
fi
if wants windows; then
  windows_part >build-win/test-run.log 2>&1 &
  pids+=($!)
  logs+=(build-win/test-run.log)
fi
if wants fuzz; then
  fuzz_part >build-fuzz/test-run.log 2>&1 &
  pids+=($!)
  logs+=(build-fuzz/test-run.log)
fi
wants guest && logs+=(build/guest/test-run.log)
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
for log in "${logs[@]}"; do
  echo "== ${log%/test-run.log} tests"
  cat "$log"
done
exit $failed
