#!/usr/bin/env bash
# The Windows build's install, as its .zip holds it: the files, the manual as
# text, the executable's header, version resource and manifest, and under Wine the program's version and --list with a COM port
# linked in Wine's registry (as winecfg links one).
# Usage: windows_install_test.sh BUILD_DIR VERSION WINE_LOADER WINESERVER WINE_PREFIX
set -uo pipefail
build=$1 version=$2 wine=$3 wineserver=$4 prefix_template=$5
scratch=$(mktemp -d)
export WINEPREFIX=$scratch/wine WINEDEBUG=-all
trap '"$wineserver" -k 2>/dev/null; rm -rf "$scratch"' EXIT
source "$(dirname "$0")/expect.sh"

cmake --install "$build" --prefix "$scratch/zip" >/dev/null || { echo "FAILED: cmake --install"; exit 1; }
expect "installed files" "$(printf '%s\n' LICENSE.txt README.txt VostrelCL.exe VostrelCL.txt)" \
  "$(cd "$scratch/zip" && find . -type f | cut -c3- | LC_ALL=C sort)"
expect "text manual: exit statuses and version" "EXIT STATUS
VostrelCL $version" \
  "$(grep -o -e '^EXIT STATUS' -e "VostrelCL $version" "$scratch/zip/VostrelCL.txt" | LC_ALL=C sort -u)"

exe=$scratch/zip/VostrelCL.exe
expect "oldest Windows in the header: Vista" "$(printf 'OS 6.0\nsubsystem 6.0')" \
  "$(x86_64-w64-mingw32-objdump -p "$exe" | awk '
     /^MajorOSystemVersion/ {o = $2} /^MinorOSystemVersion/ {o = o "." $2}
     /^MajorSubsystemVersion/ {s = $2} /^MinorSubsystemVersion/ {s = s "." $2}
     END {print "OS " o; print "subsystem " s}')"
expect "version resource" "$(printf 'FileVersion %s\nProductVersion %s' "$version" "$version")" \
  "$(strings -el "$exe" | awk '/^(File|Product)Version$/ {name = $0; next} name {print name, $0; name = ""}')"
expect "manifest: version, UTF-8 code page, long paths" "$(printf '%s\n' \
  "name=\"VostrelCL\" version=\"$version.0\"" '>true</longPathAware>' '>UTF-8</activeCodePage>')" \
  "$(strings "$exe" | grep -o -e 'name="VostrelCL" version="[0-9.]*"' -e '>UTF-8</activeCodePage>' \
     -e '>true</longPathAware>')"

cp -a "$prefix_template" "$WINEPREFIX"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM12 /d /dev/null /f >/dev/null
"$wineserver" -w
expect "--version under Wine" "VostrelCL version $version" \
  "$("$wine" "$scratch/zip/VostrelCL.exe" --version | head -1)"
expect "--list under Wine: the linked port" 'COM12  \\.\COM12  \Device\Serial11' \
  "$("$wine" "$scratch/zip/VostrelCL.exe" --list | grep COM12)"
# Ports a driver put in the registry's map itself, which lasts only while
# this Wine runs: one not named COM<n>, and one whose kernel name is not
# ASCII. Wine reads the arguments as UTF-8 in a UTF-8 locale.
map='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
expect "--list under Wine: other names, UTF-8, COM ports first" \
  "$(printf '%s\n' 'COM4  \\.\COM4  \Device\Série3' 'COM12  \\.\COM12  \Device\Serial11' \
     '\\.\CNCA0  \\.\CNCA0  \Device\Nullmodem0')" \
  "$(LC_ALL=C.UTF-8 "$wine" cmd /c "reg add $map /v \Device\Nullmodem0 /d CNCA0 /f >nul & \
reg add $map /v \Device\Série3 /d COM4 /f >nul & Z:${exe//\//\\} --list" |
     tr -d '\r' | grep -e COM4 -e COM12 -e CNCA0)"

finish "windows install"
