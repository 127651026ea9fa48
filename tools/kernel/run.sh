#!/bin/bash
# Kernel-in-the-loop test: boots Debian's stock kernel in qemu with a small
# initramfs in which uhid_mouse puts virtual mice behind real kernel HID
# devices (uhid -> hid-generic -> hidraw), and tolvanectl finds them through
# sysfs and hidraw as it finds plugged-in mice.
#
#   bash tools/kernel/run.sh BUILDDIR      (e.g. build/default)
#
# BUILDDIR must hold bin/tolvanectl, bin/uhid_mouse and share/tolvane/.
# Missing host packages (qemu-system-x86, busybox-static, cpio) are installed
# with apt-get; the kernel package is downloaded once into
# BUILDDIR/kernel-cache/ and unpacked there, never installed. Prints one line
# "kernel test: passed|FAILED|skipped: ..." last; exits 0 when passed or
# skipped (no way to get the packages), 1 when failed.
set -u

START_NS=$(date +%s%N)
elapsed() { echo "$(( ($(date +%s%N) - START_NS) / 1000000 ))" | sed 's/\(...\)$/.\1/'; }
skip() { echo "kernel test: skipped: $*"; exit 0; }
fail() { echo "kernel test: FAILED: $* (run time $(elapsed) s)"; exit 1; }

[ $# -eq 1 ] || { echo "usage: $0 BUILDDIR" >&2; exit 2; }
BUILD=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"
BIN=$BUILD/bin
DATA=$BUILD/share/tolvane
for f in "$BIN/tolvanectl" "$BIN/uhid_mouse" "$DATA/cfg.ini"; do
  [ -e "$f" ] || fail "$f is missing: build the targets tolvanectl and uhid_mouse first"
done
CACHE=$BUILD/kernel-cache
WORK=$BUILD/kernel-run
mkdir -p "$CACHE" || fail "cannot create $CACHE"
# The whole boot is bounded; without KVM it takes some 15 s.
BOOT_LIMIT=${KERNEL_TEST_TIMEOUT:-150}

# --- host packages ---------------------------------------------------------
SUDO=
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then SUDO="sudo -n"; fi
fi
APT_UPDATED=
apt_update() {
  [ -n "$APT_UPDATED" ] && return 0
  APT_UPDATED=1
  $SUDO apt-get update -q >"$CACHE/apt-update.log" 2>&1
}
static_busybox() {
  local b
  for b in /bin/busybox /usr/bin/busybox; do
    [ -x "$b" ] && ! ldd "$b" >/dev/null 2>&1 && { echo "$b"; return 0; }
  done
  return 1
}
need=()
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
static_busybox >/dev/null || need+=(busybox-static)
command -v cpio >/dev/null || need+=(cpio)
if [ ${#need[@]} -gt 0 ]; then
  command -v apt-get >/dev/null || skip "missing ${need[*]} and no apt-get"
  if [ "$(id -u)" -ne 0 ] && [ -z "$SUDO" ]; then skip "missing ${need[*]}; installing them needs root"; fi
  echo "kernel test: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! $SUDO apt-get install -y -q --no-install-recommends "${need[@]}" >"$CACHE/apt-install.log" 2>&1; then
    apt_update
    $SUDO apt-get install -y -q --no-install-recommends "${need[@]}" >"$CACHE/apt-install.log" 2>&1 ||
      skip "apt-get install ${need[*]} failed: $(tail -n 1 "$CACHE/apt-install.log")"
  fi
fi
BUSYBOX=$(static_busybox) || skip "no static busybox after installing busybox-static"

# --- the kernel: downloaded once, unpacked, never installed ----------------
KROOT=$CACHE/linux
if ! ls "$KROOT"/boot/vmlinuz-* >/dev/null 2>&1 || ! ls -d "$KROOT"/lib/modules/* >/dev/null 2>&1; then
  command -v apt-get >/dev/null || skip "no apt-get to download the kernel"
  deb=$(ls "$CACHE"/linux-image-*-amd64_*.deb 2>/dev/null | grep -v -- '-dbg_' | tail -n 1)
  if [ -z "$deb" ]; then
    find_pkg() { apt-cache depends linux-image-amd64 2>/dev/null |
                   sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1; }
    pkg=$(find_pkg)
    if [ -z "$pkg" ]; then apt_update; pkg=$(find_pkg); fi
    [ -n "$pkg" ] || skip "apt-cache does not know linux-image-amd64 (no package lists, no network?)"
    download() {
      echo "kernel test: downloading $pkg into $CACHE"
      ( cd "$CACHE" && apt-get -q -o APT::Sandbox::User=root download "$pkg" >"$CACHE/apt-download.log" 2>&1 )
    }
    # Stale package lists name a version the archive no longer has.
    if ! download; then
      [ -z "$APT_UPDATED" ] && apt_update && pkg=$(find_pkg) && [ -n "$pkg" ] && download ||
        skip "apt-get download $pkg failed: $(tail -n 1 "$CACHE/apt-download.log")"
    fi
    deb=$(ls "$CACHE"/"$pkg"_*.deb 2>/dev/null | tail -n 1)
    [ -n "$deb" ] || skip "apt-get download $pkg left no package"
  fi
  rm -rf "$KROOT.tmp" && mkdir -p "$KROOT.tmp" && dpkg-deb -x "$deb" "$KROOT.tmp" ||
    fail "dpkg-deb -x $deb failed"
  rm -rf "$KROOT" && mv "$KROOT.tmp" "$KROOT"
fi
VMLINUZ=$(ls "$KROOT"/boot/vmlinuz-* | tail -n 1)
KVER=${VMLINUZ##*/vmlinuz-}
MODDIR=$KROOT/lib/modules/$KVER
[ -d "$MODDIR" ] || fail "the kernel package has no modules for $KVER"
# Without KVM the kernel takes longer to unpack itself than to boot. A
# kernel that can start through PVH boots from its unpacked ELF image
# directly; the image is unpacked once (xz, as Debian packs it) into the
# cache. Anything else boots as packaged.
KERNEL=$VMLINUZ
VMLINUX=$CACHE/vmlinux-$KVER
if [ ! -s "$VMLINUX" ] && grep -q '^CONFIG_PVH=y' "$KROOT/boot/config-$KVER" 2>/dev/null; then
  off=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$VMLINUZ" 2>/dev/null | head -n 1 | cut -d: -f1)
  if [ -n "$off" ] && tail -c +$((off + 1)) "$VMLINUZ" | xz -dc --single-stream >"$VMLINUX.tmp" 2>/dev/null &&
     [ "$(head -c 4 "$VMLINUX.tmp" | od -An -c | tr -d ' ')" = '177ELF' ]; then
    mv "$VMLINUX.tmp" "$VMLINUX"
  else
    rm -f "$VMLINUX.tmp"
  fi
fi
[ -s "$VMLINUX" ] && KERNEL=$VMLINUX

# --- initramfs -------------------------------------------------------------
rm -rf "$WORK" && mkdir -p "$WORK/root" || fail "cannot create $WORK"
R=$WORK/root
mkdir -p "$R"/{bin,dev,proc,sys,tmp,run,root,lib/modules,opt/tolvane/bin,opt/tolvane/share}
cp "$BUSYBOX" "$R/bin/busybox"

# Programs without their debug information, and the libraries ldd names.
for p in tolvanectl uhid_mouse; do
  strip -o "$R/opt/tolvane/bin/$p" "$BIN/$p" 2>/dev/null || cp "$BIN/$p" "$R/opt/tolvane/bin/$p"
  ldd "$BIN/$p" | sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p; s/^[[:space:]]*\(\/[^ ]*\) (.*/\1/p' |
    while read -r lib; do
      [ -e "$R$lib" ] || { mkdir -p "$R$(dirname "$lib")" && cp -L "$lib" "$R$lib"; }
    done
done
cp -r "$DATA" "$R/opt/tolvane/share/tolvane"

# Kernel modules uhid and hid-generic with what they depend on, in load
# order; those built into the kernel are left out. Dependencies come from
# modules.dep when the package has one, else from each module's own
# "depends=" entry.
module_file() {  # name -> path of its .ko[.xz|.zst|.gz], hyphens and underscores alike
  local n
  n=$(echo "$1" | sed 's/[-_]/[-_]/g')
  find "$MODDIR/kernel" -name "$n.ko" -o -name "$n.ko.xz" -o -name "$n.ko.zst" -o -name "$n.ko.gz" | head -n 1
}
module_text() {
  case $1 in
    *.xz) xz -dc "$1" ;;
    *.zst) zstd -dcq "$1" ;;
    *.gz) gzip -dc "$1" ;;
    *) cat "$1" ;;
  esac
}
module_deps() {
  local f=$1 rel
  if [ -s "$MODDIR/modules.dep" ]; then
    rel=${f#"$MODDIR"/}
    sed -n "s|^$rel: *||p" "$MODDIR/modules.dep" | tr ' ' '\n' | sed -n 's|.*/\([^/]*\)\.ko.*|\1|p'
  else
    module_text "$f" | tr '\0' '\n' | sed -n 's/^depends=//p' | tr ',' '\n'
  fi
}
builtin_module() { grep -q "/$(echo "$1" | sed 's/[-_]/[-_]/g')\.ko\$" "$MODDIR/modules.builtin" 2>/dev/null; }
LOAD_ORDER=()
add_module() {
  local name=$1 f d m
  for m in "${LOAD_ORDER[@]:-}"; do [ "$m" = "$name" ] && return 0; done
  builtin_module "$name" && return 0
  f=$(module_file "$name")
  [ -n "$f" ] || fail "kernel $KVER has no module $name"
  for d in $(module_deps "$f"); do add_module "$d"; done
  module_text "$f" >"$R/lib/modules/$name.ko" || fail "cannot unpack module $name"
  LOAD_ORDER+=("$name")
}
for m in uhid hid-generic; do add_module "$m"; done
printf '%s\n' "${LOAD_ORDER[@]}" >"$R/lib/modules/order"

cp "$(dirname "$0")/guest.sh" "$R/init" && chmod 755 "$R/init" || fail "no guest.sh beside run.sh"
( cd "$R" && find . | cpio -o -H newc --quiet ) >"$WORK/initrd.cpio" || fail "cpio failed"

# --- boot ------------------------------------------------------------------
ACCEL=()
# KVM only when qemu can really use it (the node may exist without access or
# support); the probe machine quits at once through its monitor.
if [ -r /dev/kvm ] && [ -w /dev/kvm ] &&
   echo quit | timeout 10 qemu-system-x86_64 -accel kvm -machine none -display none -nodefaults \
     -monitor stdio >/dev/null 2>&1; then
  ACCEL=(-enable-kvm -cpu host)
fi
PREP=$(elapsed)
echo "kernel test: booting $KVER${ACCEL:+ with KVM} from ${KERNEL##*/} (modules: ${LOAD_ORDER[*]:-built in}; prepared in $PREP s)"
LOG=$WORK/console.log
# No network card: its boot ROM alone costs a second or two without KVM.
boot() {
  timeout "$BOOT_LIMIT" qemu-system-x86_64 -nographic -no-reboot -m 512 "${ACCEL[@]}" -nic none \
    -kernel "$KERNEL" -initrd "$WORK/initrd.cpio" \
    -append "console=ttyS0 panic=-1 quiet" </dev/null 2>&1 | tr -d '\r' | tee "$LOG"
  rc=${PIPESTATUS[0]}
}
boot
# Some hosts pass the probe yet refuse the host CPU's registers once a real
# machine starts (qemu aborts before the guest runs): boot once more without KVM.
if [ ${#ACCEL[@]} -gt 0 ] && [ "$rc" -ne 124 ] && ! grep -q '^KTEST RESULT:' "$LOG"; then
  echo "kernel test: qemu stopped with KVM (exit $rc) before the guest gave a result; booting again without KVM"
  ACCEL=()
  boot
fi
[ "$rc" -eq 124 ] && fail "no result within $BOOT_LIMIT s (console in $LOG)"
grep -q '^KTEST RESULT: PASS' "$LOG" &&
  { echo "kernel test: passed (run time $(elapsed) s, $PREP s of it preparing)"; exit 0; }
grep -q '^KTEST RESULT: FAIL' "$LOG" && fail "$(grep -c '^KTEST FAIL' "$LOG") check(s) failed (console in $LOG)"
fail "the guest gave no result, qemu exit $rc (console in $LOG)"
