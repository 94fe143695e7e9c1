#!/usr/bin/env bash
# Runs the program inside a Linux guest under QEMU (TCG) whose serial ports
# are real kernel drivers: the 8250 UART driver on /dev/ttyS1 and the FTDI
# USB-serial driver on /dev/ttyUSB0. Each port is carried to an adapter-sim
# on a host pty; QEMU applies the guest's line settings to that pty, so the
# simulated adapter sees the rate, parity and stop bits the driver really
# runs. A cable pulled out is `device_del` on QEMU's monitor.
# Usage: guest_test.sh BUILD_DIR SCENARIO   (scenarios: the scenario_*
# functions below)
set -euo pipefail
build=$1
scenario=$2
image=$build/guest
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)

prompt_line="Click <ENTER> for OK or Click C for Cancel:"
gone_line=": the port went away during the run"

cleanup() {
  [ -n "${qemu_pid:-}" ] && kill "$qemu_pid" 2>/dev/null
  exec 5>&- 6>&- 7>&- 8>&- 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($scenario): $*"
  echo "--- the guest's console (last lines)"
  tail -c 3000 "$work/console.log" | cat -v
  echo
  exit 1
}

# Milliseconds on the host's clock.
now_ms() { echo $(( ${EPOCHREALTIME/./} / 1000 )); }

# start_sim FD NAME OPTIONS...: adapter-sim on a fresh pty, commanded
# through file descriptor FD; its device path in $work/NAME.path.
start_sim() {
  local fd=$1 name=$2
  shift 2
  mkfifo "$work/$name.in"
  "$build/adapter-sim" "$@" <"$work/$name.in" >"$work/$name.out" 2>&1 &
  eval "exec $fd>\"$work/$name.in\""
  for _ in $(seq 100); do
    [ -s "$work/$name.out" ] && head -n 1 "$work/$name.out" | grep -q '^/dev/' && break
    sleep 0.05
  done
  head -n 1 "$work/$name.out" >"$work/$name.path"
  grep -q '^/dev/' "$work/$name.path" || fail "adapter-sim $name did not start: $(cat "$work/$name.out")"
}

# sim_report FD NAME: what adapter-sim `show` says of every adapter now.
sim_report() {
  local fd=$1 name=$2 before
  before=$(wc -l <"$work/$name.out")
  echo show >&"$fd"
  for _ in $(seq 100); do
    tail -n +$((before + 1)) "$work/$name.out" | grep -q '^ok$' && break
    sleep 0.05
  done
  tail -n +$((before + 1)) "$work/$name.out" | grep -v '^ok$'
}

# Boots the guest with the builtin port on adapter-sim "builtin" and the
# USB-serial cable on "usb"; waits for its ready line.
boot_guest() {
  mkfifo "$work/console.in" "$work/console.out" "$work/monitor.in" "$work/monitor.out"
  local started
  started=$(now_ms)
  LD_PRELOAD=$build/libparity_preload.so \
    qemu-system-x86_64 -accel tcg -m 256 -nodefaults -display none -no-reboot \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.gz" \
    -append "console=ttyS0 quiet loglevel=0 panic=-1" \
    -chardev pipe,id=console,path="$work/console" -serial chardev:console \
    -chardev pipe,id=monitor,path="$work/monitor" -mon chardev=monitor,mode=readline \
    -chardev serial,id=builtin,path="$(cat "$work/builtin.path")" -device isa-serial,chardev=builtin \
    -device qemu-xhci,id=xhci \
    -chardev serial,id=usb,path="$(cat "$work/usb.path")" -device usb-serial,chardev=usb,id=cable \
    >"$work/qemu.log" 2>&1 &
  qemu_pid=$!
  cat "$work/console.out" >"$work/console.log" &
  cat "$work/monitor.out" >"$work/monitor.log" &
  exec 7>"$work/console.in" 8>"$work/monitor.in"
  await_console "==READY" 0 120000 || fail "the guest did not boot: $(cat "$work/qemu.log")"
  grep -q "/dev/ttyS1 /dev/ttyUSB0" "$work/console.log" || fail "the guest has not both ports"
  echo "guest booted in $(( $(now_ms) - started )) ms"
}

# await_console TEXT FROM TIMEOUT_MS: waits until TEXT shows on the console
# after byte FROM; fails (returns 1) after TIMEOUT_MS.
await_console() {
  local deadline=$(( $(now_ms) + $3 ))
  until tail -c +$(( $2 + 1 )) "$work/console.log" | grep -q -F -- "$1"; do
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.02
  done
}

# guest_start ARGS...: starts the program in the guest with these arguments.
guest_start() {
  run_from=$(stat -c %s "$work/console.log")
  printf 'run %s\n' "$*" >&7
  await_console "==START" "$run_from" 5000 || fail "the guest did not start: $*"
  run_from=$(grep -b -o -F "==START" "$work/console.log" | tail -n 1 | cut -d: -f1)
  run_from=$(( run_from + 8 ))
  started_ms=$(now_ms)
  echo "run: VostrelCL $*"
}

# guest_finish TIMEOUT_MS: waits for the program to end; its output in
# $work/run.out, its exit status in $status, when it ended in $ended_ms.
guest_finish() {
  await_console "==EXIT" "$run_from" "$1" || fail "the program did not end within $1 ms"
  ended_ms=$(now_ms)
  tail -c +$(( run_from + 1 )) "$work/console.log" >"$work/run.all"
  status=$(grep -a -o '==EXIT [0-9]*' "$work/run.all" | head -n 1 | cut -d' ' -f2)
  sed -n '/==EXIT/q;p' "$work/run.all" >"$work/run.out"
  echo "exit status $status after $(( ended_ms - started_ms )) ms"
}

guest_run() {
  guest_start "$@"
  guest_finish 120000
}

# Answers a prompt: waits for it (the Nth prompt line of this run), then
# does what the hands do on adapter-sim and types the key.
answer_prompt() {
  local count=$1 hands=$2 key=$3 deadline=$(( $(now_ms) + 120000 ))
  until [ "$(tail -c +$(( run_from + 1 )) "$work/console.log" | grep -c -F -- "$prompt_line")" -ge "$count" ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "no prompt $count"
    sleep 0.05
  done
  [ -n "$hands" ] && echo "$hands" >&6 && sleep 0.3
  printf '%s' "$key" >&7
}

# Pulls the USB-serial cable out; the time is kept in $pulled_ms.
pull_cable() {
  pulled_ms=$(now_ms)
  echo "device_del cable" >&8
  echo "cable pulled"
}

expect_status() { [ "$status" = "$1" ] || fail "exit status $status, expected $1"; }
expect_output() { grep -q -F -- "$1" "$work/run.out" || fail "no \"$1\" in the output"; }
expect_no_output() { ! grep -q -F -- "$1" "$work/run.out" || fail "\"$1\" in the output"; }
expect_ended_within() {
  local took=$(( ended_ms - pulled_ms ))
  echo "cable pulled to exit: $took ms"
  [ "$took" -le "$1" ] || fail "the run went on for $took ms after the cable was pulled"
}
# A cable pulled out ends the run at once: the port-went-away message and
# exit 4, with no walk through the other settings and no reset dialogue.
expect_went_away() {
  guest_finish 20000
  expect_status 4
  expect_output "/dev/ttyUSB0$gone_line"
  expect_no_output "Connection Failed"
  expect_ended_within 1000
}

scenario_builtin_port() {
  start_sim 5 builtin
  start_sim 6 usb
  boot_guest
  guest_run /dev/ttyS1 status
  expect_status 0
  expect_output "Connected at: Baudrate:19200 Parity:NONE Stopbits:One"
  # The UART's standard clock tops out at 115200: the driver keeps another
  # rate without an error, so the program must see it and write nothing.
  local before
  before=$(sim_report 5 builtin)
  guest_run -l230400 /dev/ttyS1 program
  expect_status 4
  expect_output "/dev/ttyS1: the port cannot run at Baudrate:230400 Parity:NONE Stopbits:One"
  expect_no_output "Device Programmed"
  [ "$(sim_report 5 builtin)" = "$before" ] || fail "the adapter was changed"
  guest_run -l38400 -mODD /dev/ttyS1 program
  expect_status 0
  expect_output "Device Programmed"
  guest_run /dev/ttyS1 status
  expect_status 0
  expect_output "Connected at: Baudrate:38400 Parity:ODD Stopbits:One"
}

scenario_usb_serial_cable() {
  start_sim 5 builtin
  start_sim 6 usb
  boot_guest
  guest_run /dev/ttyUSB0 status
  expect_status 0
  expect_output "Connected at: Baudrate:19200 Parity:NONE Stopbits:One"
  guest_run -l230400 -mEVEN /dev/ttyUSB0 program
  expect_status 0
  expect_output "Device Programmed"
  guest_run /dev/ttyUSB0 status
  expect_status 0
  expect_output "Connected at: Baudrate:230400 Parity:EVEN Stopbits:One"
}

scenario_cable_pulled_during_scan() {
  start_sim 5 builtin
  start_sim 6 usb --baud 230400 --parity even --stop two
  boot_guest
  guest_start /dev/ttyUSB0 status
  await_console "Connecting to device" "$run_from" 10000 || fail "no scan"
  sleep 3
  pull_cable
  expect_went_away
  expect_no_output "paper clip"
}

scenario_cable_pulled_during_writes() {
  start_sim 5 builtin
  start_sim 6 usb
  boot_guest
  guest_start -nX -p1234 /dev/ttyUSB0 program
  await_console "Sending: N=X" "$run_from" 30000 || fail "no write"
  pull_cable
  expect_went_away
  expect_no_output "Error sending command"
  expect_no_output "Device Programmed"
}

scenario_cable_pulled_at_prompt() {
  start_sim 5 builtin
  start_sim 6 usb
  boot_guest
  guest_start /dev/ttyUSB0 reset
  answer_prompt 1 "" ""
  sleep 1
  pull_cable
  expect_went_away
}

scenario_cable_pulled_between_slaves() {
  start_sim 5 builtin
  start_sim 6 usb --plugged none --adapter M --address 001A7DDA7113 --pin 5678 \
    --adapter S1 --address 001A7DDA7121 --name Slave01 \
    --adapter S2 --address 001A7DDA7122 --name Slave02
  boot_guest
  guest_start /dev/ttyUSB0 multipair
  answer_prompt 1 "plug M" $'\r'
  answer_prompt 2 "plug S1" $'\r'
  answer_prompt 3 "" ""
  sleep 1
  pull_cable
  expect_went_away
  printf 'cat /tmp/MULTIPAIR.INI\n' >&7
  await_console "Slave01" "$run_from" 5000 || fail "the first slave was not recorded"
}

"scenario_$scenario"
echo "PASS ($scenario)"
