#!/usr/bin/env bash
# The libftdi driver against QEMU's emulated FTDI FT232: builds an initramfs
# (busybox, the kernel's USB host modules, the uploader and the libraries it
# loads), boots Debian's kernel under software emulation with a usb-serial
# device whose output goes to a file, uploads a small image inside with
# --adapter ftdi, and checks on this side that the file holds exactly the
# frames the engine sends, each after a break.
#
# usage: ftdi_vm_test.sh WORKDIR UPLOADER VM_REFERENCE VM_CHECK
# Each run works in a folder of its own under WORKDIR, removed when the run
# passes or skips and kept (its path printed) when it fails; QEMU is stopped
# when the script ends, however it ends.
# Exits 77 (skipped) when QEMU, a kernel or busybox-static is missing, or
# when UPLOADER_SANITIZED is ON.
set -euo pipefail

parent=$1 uploader=$2 reference=$3 check=$4
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }

case ${UPLOADER_SANITIZED:-OFF} in
  ON | on | 1 | TRUE | true) skip "sanitizer build: the instrumented uploader is not booted in a VM" ;;
esac
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 not found (Debian package qemu-system-x86)"
kernel=$(ls /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n 1 || true)
[ -n "$kernel" ] || skip "no kernel in /boot (Debian package linux-image-amd64)"
[ -r "$kernel" ] || skip "$kernel is not readable by this user"
version=${kernel#/boot/vmlinuz-}
usbmods=/lib/modules/$version/kernel/drivers/usb
modules=("$usbmods/common/usb-common.ko" "$usbmods/core/usbcore.ko"
         "$usbmods/host/xhci-hcd.ko" "$usbmods/host/xhci-pci.ko")
for m in "${modules[@]}"; do
  [ -f "$m" ] || skip "kernel module $m not found (compressed modules are not supported)"
done
busybox=/bin/busybox
[ -x "$busybox" ] || skip "busybox not found (Debian package busybox-static)"
ldd "$busybox" >/dev/null 2>&1 && skip "$busybox is not statically linked (Debian package busybox-static)"

serial=DRVTEST01
address=7
profile=v1.2
start=$(date +%s)
mkdir -p "$parent"
work=$(mktemp -d "$parent/run.XXXXXX")
qemu_pid=""
finish() {
  local status=$?
  trap - EXIT INT TERM HUP
  if [ -n "$qemu_pid" ]; then
    kill -TERM "$qemu_pid" 2>/dev/null || true
    wait "$qemu_pid" 2>/dev/null || true
  fi
  if [ "$status" -eq 0 ] || [ "$status" -eq 77 ]; then
    rm -rf "$work"
  else
    echo "kept for a look: $work"
  fi
  exit "$status"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP
root=$work/root
mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules}

# The image: every byte value, 200 bytes (four frames, the last one short).
image=$work/image.bin
i=0
while [ $i -lt 200 ]; do printf "\\$(printf %o $(( (i * 167 + 3) % 256 )))"; i=$((i + 1)); done >"$image"
cp "$image" "$root/image.bin"

cp "$busybox" "$root/bin/busybox"
cp "${modules[@]}" "$root/modules/"
cp "$uploader" "$root/bin/uploader"
# The uploader is linked dynamically (Debian's libusb has no static form):
# its libraries and the loader go in at the paths ldd gives.
for lib in $(ldd "$uploader" | awk '$2 == "=>" && $3 ~ /^\// {print $3} $1 ~ /^\// {print $1}'); do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done

cat >"$root/init" <<INIT
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in usb-common usbcore xhci-hcd xhci-pci; do insmod /modules/\$m.ko; done
n=0
until grep -qs 0403 /sys/bus/usb/devices/*/idVendor || [ \$n -ge 200 ]; do sleep 0.1; n=\$((n + 1)); done
echo "@@ list"
/bin/uploader list --adapter ftdi
echo "@@ list-exit \$?"
echo "@@ upload"
/bin/uploader upload /image.bin --adapter ftdi --address $address --fast --profile $profile --quiet
echo "@@ upload-exit \$?"
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | "$busybox" cpio -o -H newc 2>/dev/null | gzip -1 >"$work/initrd.gz")

echo "booting $kernel with the emulated FT232 (serial $serial)"
# In the background and waited for, so that a signal to this script is
# handled at once (finish stops QEMU) rather than after QEMU ends.
timeout 240 qemu-system-x86_64 -accel tcg -m 256 -display none -monitor none -no-reboot \
  -nic none -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" -serial "file:$work/console.log" \
  -device qemu-xhci -device "usb-serial,chardev=line,serial=$serial,pcap=$work/usb.pcap" \
  -chardev "file,id=line,path=$work/line.bin" \
  -trace 'usb_serial_*' -D "$work/trace.log" </dev/null &
qemu_pid=$!
qemu_status=0
wait "$qemu_pid" || qemu_status=$?
qemu_pid=""
[ "$qemu_status" -eq 0 ] || fail "QEMU did not finish (status $qemu_status)"
echo "VM ran $(( $(date +%s) - start )) s; its console:"
console=$work/console.txt
tr -d '\r' <"$work/console.log" >"$console"
sed -n '/^@@ list$/,$p' "$console"

grep -qx "@@ list-exit 0" "$console" || fail "listing inside the VM failed"
sed -n '/^@@ list$/,/^@@ list-exit/p' "$console" | grep -q "$serial" ||
  fail "the listing does not show the emulated adapter's serial $serial"
grep -qx "@@ upload-exit 0" "$console" || fail "the upload inside the VM failed"
grep -qx "Opened device $serial" "$console" || fail "no \"Opened device $serial\" line"

"$reference" "$image" $address $profile 1 "$work/reference.bin" >/dev/null ||
  fail "the reference upload on the simulated adapter failed"
"$check" "$work/reference.bin" "$work/line.bin" "$work/usb.pcap" "$work/trace.log"
