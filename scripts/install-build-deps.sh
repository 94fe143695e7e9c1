#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing;
# with --packaging also what scripts/package.sh needs.
# As root it runs apt-get; otherwise it names what to install and fails.
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev
  # The fuzz targets: clang and its libFuzzer runtime.
  clang-14 libclang-rt-14-dev
  # The Windows build: cross compiler, GoogleTest sources, and Wine to run it.
  g++-mingw-w64-x86-64-posix googletest wine wine64
  # The guest on real serial drivers: QEMU, and busybox and cpio for its
  # initramfs (the kernel is downloaded as a package, not installed).
  qemu-system-x86 busybox-static cpio
  # scdoc turns the manual pages' sources into roff; man-db and groff render
  # them for the install test and the Windows package's text manual.
  scdoc man-db groff-base)
[ "${1:-}" = --packaging ] && packages+=(dpkg-dev lintian)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# Without recommends: Wine would bring a desktop's worth of fonts and tools.
apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
