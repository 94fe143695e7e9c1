#!/usr/bin/env bash
# Builds the utility and shows it at work on a simulated adapter: no
# hardware needed. The simulator serves a v4.22 adapter at 38400 baud, odd
# parity, one stop bit on a pseudo-terminal; the utility has to find it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-build-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target VostrelCL adapter-sim

coproc SIM { exec build/adapter-sim --firmware v4.22 --baud 38400 --parity odd --stop one; }
trap 'echo quit >&"${SIM[1]}" 2>/dev/null || true' EXIT
read -r port <&"${SIM[0]}"

run() {
  echo
  echo "\$ VostrelCL $*"
  build/VostrelCL "$@" || echo "(exit status $?)"
}

echo "Simulated adapter on $port"
run "$port" status
run -l115200 -nDemo "$port" program
run "$port" status
