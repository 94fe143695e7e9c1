#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a user gets there:
# the files, programs that run and name the build's version, manual pages
# that render without warnings, the exit-status table equal to the README's,
# and the bash completion.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail
build=$1 source=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
source "$(dirname "$0")/expect.sh"

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAILED: cmake --install"; exit 1; }
expect "installed files" "$(printf '%s\n' bin/VostrelCL bin/adapter-sim \
  share/bash-completion/completions/VostrelCL share/doc/vostrelcl/README.md \
  share/doc/vostrelcl/changelog share/doc/vostrelcl/copyright share/man/man1/VostrelCL.1 \
  share/man/man1/adapter-sim.1 | LC_ALL=C sort)" "$(cd "$prefix" && find . -type f | cut -c3- | LC_ALL=C sort)"

# The programs run; the version is the build's.
expect "--help" "VostrelCL version $version
Configures Bluetooth serial adapters over a serial port
VostrelCL [-opt COMx Command [Argument] 0" \
  "$("$prefix/bin/VostrelCL" --help | head -3) $?"
list=$("$prefix/bin/VostrelCL" --list)
expect "--list exit status, and a line after the banner" "0 yes" \
  "$? $([[ $(wc -l <<<"$list") -ge 3 ]] && echo yes)"
expect "adapter-sim --help" "Usage: adapter-sim [options] 0" \
  "$("$prefix/bin/adapter-sim" --help | head -1) $?"

for page in VostrelCL adapter-sim; do
  manual=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1" 2>"$scratch/warnings")
  expect "$page(1) renders without warnings" "" "$(cat "$scratch/warnings")"
  expect "$page(1) names the version" "VostrelCL $version" \
    "$(tail -1 <<<"$manual" | grep -o "VostrelCL $version")"
done

# One exit-status table: the manual's rows are the README's.
readme_rows=$(sed -n 's/^| \([0-9][0-9]*\) | \(.*\) |$/\1 \2/p' "$source/README.md" | tr -d '`')
manual_rows=$(awk '/^\|  [0-9]/ { status = $2 } /^:  / && status != "" {
  sub(/^:  /, ""); print status " " $0; status = "" }' "$source/docs/VostrelCL.1.scd" | tr -d '*')
expect "exit statuses of README and manual" "$readme_rows" "$manual_rows"

# Completion. The ports come from the program's --list, here a stand-in's
# for a machine with a UART and a USB adapter; the slaves from the installed
# program's --list-slaves.
mkdir -p "$scratch/work"
printf '[Master]\r\nAddress=001A7DDA7113\r\n[Slaves]\r\n001A7DDA7121 = Slave01\r\n001A7DDA7122=Pump Room\r\n' \
  >"$scratch/work/MULTIPAIR.INI"
expect "--list-slaves" $'Slave01\nPump Room' "$(cd "$scratch/work" && "$prefix/bin/VostrelCL" --list-slaves)"
stand_in=$scratch/stand-in
printf '#!/bin/sh\n[ "$1" = --list ] || exec "%s" "$@"\n%s\n' "$prefix/bin/VostrelCL" \
  'printf "banner\nbanner\nCOM1  /dev/ttyS0  driver serial\n/dev/serial/by-id/usb-FTDI_A1-if00-port0  /dev/ttyUSB0  FTDI\n"' \
  >"$stand_in"
chmod +x "$stand_in"
completion=$prefix/share/bash-completion/completions/VostrelCL
# completions WORD... : what Tab offers for the last word, on one line.
completions() {
  (cd "$scratch/work" && bash --norc --noprofile -c '
    source "$0" && _vostrel_program=$1 && shift &&
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) && _VostrelCL && echo "${COMPREPLY[*]}"' \
    "$completion" "$stand_in" VostrelCL "$@")
}
expect "completion registered" "complete -F _VostrelCL VostrelCL" \
  "$(bash --norc --noprofile -c 'source "$0" && complete -p VostrelCL' "$completion")"
expect "-l" "-l1200 -l2400 -l4800 -l9600 -l19200 -l38400 -l57600 -l115200 -l230400" \
  "$(completions -l)"
expect "-mO" "-modd" "$(completions -mO)"
expect "-" "-c -d -k -l -m -n -o -p -r -x -z --help --list --version" "$(completions -)"
expect "ports" "COM1 /dev/ttyS0 /dev/serial/by-id/usb-FTDI_A1-if00-port0 /dev/ttyUSB0" \
  "$(completions -z5 '')"
expect "commands" "connect" "$(completions COM1 con)"
expect "slaves" 'Slave01 Pump\ Room' "$(completions COM1 Connect '')"
expect "nothing after status" "" "$(completions COM1 status '')"

finish "install"
