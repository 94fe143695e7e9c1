#!/usr/bin/env bash
# Makes the guest that runs the program on real serial drivers: a Debian
# kernel (downloaded as a package and unpacked, never installed) and an
# initramfs of busybox, the USB-serial modules, the statically linked
# program and tests/guest/init.
# Usage: make_image.sh PROGRAM OUTPUT_DIR
set -euo pipefail
program=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out/kernel"

# The kernel package once per build directory: the meta-package names the
# current one.
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}
# Downloads the current kernel package into $out and unpacks only the kernel
# and the USB drivers.
fetch_kernel() {
  local package
  package=$(kernel_package)
  [ -n "$package" ] || return 1
  (cd "$out" && rm -f linux-image-*.deb && apt-get download "$package" >/dev/null &&
    dpkg-deb --fsys-tarfile linux-image-*.deb |
    tar -x -C kernel --wildcards './boot/vmlinuz-*' './lib/modules/*/kernel/drivers/usb/*' &&
    rm -f linux-image-*.deb)
}
if ! ls "$out"/kernel/boot/vmlinuz-* >/dev/null 2>&1; then
  # Package lists that are missing or older than the archive name no package,
  # or one the archive no longer has: read them anew once.
  if ! fetch_kernel && [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq
    fetch_kernel
  fi
  ls "$out"/kernel/boot/vmlinuz-* >/dev/null 2>&1 ||
    { echo "no kernel package could be fetched: run apt-get update" >&2; exit 1; }
fi
kernel=$(ls "$out"/kernel/boot/vmlinuz-* | head -n 1)
modules=$(ls -d "$out"/kernel/lib/modules/* | head -n 1)/kernel/drivers/usb

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,dev,proc,sys,tmp,lib/modules}
cp /bin/busybox "$root/bin/busybox"
cp "$program" "$root/bin/VostrelCL"
cp "$here/init" "$root/init"
chmod 755 "$root/init"
for module in common/usb-common core/usbcore host/xhci-hcd host/xhci-pci serial/usbserial \
  serial/ftdi_sio; do
  cp "$modules/$module.ko" "$root/lib/modules/"
done
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1 >"$out/initrd.gz.new")
mv "$out/initrd.gz.new" "$out/initrd.gz"
ln -sf "$kernel" "$out/vmlinuz"
