#!/usr/bin/env bash
# Builds the Debian package from a release build in build-package/ and
# checks it with lintian (errors fail the script), and the Windows .zip from
# a cross-build in build-win/.
# With --install-check (as root, on a machine without the package): also
# installs it with dpkg -i, checks that VostrelCL runs from PATH and that its
# manual and completion are in place, and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."

install_check=no
[ "${1:-}" = --install-check ] && install_check=yes

scripts/install-build-deps.sh --packaging

echo "== .deb"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-package --target VostrelCL adapter-sim manual
rm -f build-package/vostrelcl_*.deb
(cd build-package && cpack >/dev/null)
deb=$(ls build-package/vostrelcl_*.deb)
echo "$deb"
dpkg-deb --field "$deb" Package Version Depends
echo "lintian:"
lintian --allow-root --fail-on error "$deb"
echo "lintian: no errors"

echo "== Windows .zip"
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-win --target VostrelCL manual
rm -f build-win/VostrelCL-*-windows-x64.zip
(cd build-win && cpack >/dev/null)
ls build-win/VostrelCL-*-windows-x64.zip

[ $install_check = yes ] || exit 0
echo "== dpkg -i"
if [ "$(id -u)" -ne 0 ]; then
  echo "--install-check needs root" >&2
  exit 1
fi
if dpkg-query -W vostrelcl >/dev/null 2>&1; then
  echo "vostrelcl is installed already; not touching it" >&2
  exit 1
fi
trap 'dpkg -r vostrelcl >/dev/null && echo "removed again"' EXIT
dpkg -i "$deb" >/dev/null
version=$(dpkg-deb --field "$deb" Version)
[ "$(command -v VostrelCL)" = /usr/bin/VostrelCL ]
[ "$(VostrelCL --version | head -1)" = "VostrelCL version $version" ]
[ "$(man -w VostrelCL)" = /usr/share/man/man1/VostrelCL.1.gz ]
[ -z "$(MANWIDTH=80 man --warnings VostrelCL 2>&1 >/dev/null)" ]
[ -f /usr/share/bash-completion/completions/VostrelCL ]
echo "VostrelCL $version runs from PATH; manual and completion installed"
