#!/usr/bin/env bash
# Builds (once per kernel and init script) the emulated machine's initramfs: static busybox,
# the init, and the kernel modules that mount the host's files over virtio 9p, the machine's
# own disk, and give the job its console. Prints the image's path.
#   make_initramfs.sh KERNEL_VERSION STATE_DIR
set -euo pipefail

kernel_version=${1:?kernel version}
state_dir=${2:?state folder}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# In the order they must be loaded.
modules=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci
  virtio_console 9pnet 9pnet_virtio netfs fscache 9p virtio_blk crc16 crc32c_generic mbcache jbd2 ext4)

image=$state_dir/initramfs-$kernel_version-$(cat "$here/guest_init.sh" "$0" | md5sum | cut -c1-12).img
if [ -f "$image" ]; then
  echo "$image"
  exit 0
fi

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{bin,dev,proc,sys,modules}
cp /bin/busybox "$tree/bin/busybox"
cp "$here/guest_init.sh" "$tree/init"
chmod 755 "$tree/init"
module_root=/lib/modules/$kernel_version
for module in "${modules[@]}"; do
  file=$(find "$module_root/kernel" -name "$module.ko*" | head -n1)
  [ -n "$file" ] || { echo "initramfs: module $module not found under $module_root" >&2; exit 1; }
  case $file in
  *.xz) xz -dc "$file" >"$tree/modules/$module.ko" ;;
  *.zst) zstd -qdc "$file" >"$tree/modules/$module.ko" ;;
  *) cp "$file" "$tree/modules/$module.ko" ;;
  esac
  echo "$module" >>"$tree/modules/order"
done
rm -f "$state_dir"/initramfs-*.img
(cd "$tree" && find . | sort | /bin/busybox cpio -o -H newc --quiet) | gzip -1 >"$image.partial"
mv "$image.partial" "$image"
echo "$image"
