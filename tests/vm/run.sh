#!/usr/bin/env bash
# The virtual machine cases: lab bridges on a QEMU guest's USB bus, the native Linux tool
# inside, its output compared with `mvbridge-lab run` on an identical lab.
#
#   tests/vm/run.sh [--lab PROGRAM] [--tool STATIC_TOOL] [--cache DIR] [--keep]
#
# One boot (TCG, one CPU) runs every line of tests/vm/cases.txt. The guest is a Debian
# kernel (its package fetched once with `apt-get download` into the cache, by default
# build/vm-cache, never installed) and a busybox initramfs with the modules xhci-pci, usb-storage
# (delay_use=0), sd_mod and sg. Each bridge is served by `mvbridge-lab serve` on a UNIX
# socket that QEMU's usb-redir device connects to.
#
# Exit status: 0 every case matched, 1 a case differed or the boot failed, 77 QEMU is
# missing (the caller reports the step skipped).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
lab_program="$root/build/release/lab/mvbridge-lab"
tool="$root/build/release/mvbridge-static"
cache="$root/build/vm-cache"
keep=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --lab) lab_program=$2; shift 2 ;;
    --tool) tool=$2; shift 2 ;;
    --cache) cache=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h | --help) awk 'NR > 1 && !/^#/ {exit} NR > 1 {sub(/^# ?/, ""); print}' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "tests/vm: unknown option $1" >&2; exit 2 ;;
  esac
done

say() { echo "tests/vm: $*"; }
fail() { say "$*"; exit 1; }

qemu=$(command -v qemu-system-x86_64) || { say "qemu-system-x86_64 is not installed; virtual machine cases skipped"; exit 77; }
busybox=$(command -v busybox) || fail "busybox is not installed (busybox-static)"
[[ -x "$lab_program" ]] || fail "no lab program at $lab_program"
[[ -x "$tool" ]] || fail "no static tool at $tool"
"$lab_program" /nonexistent serve PhysicalDrive1 --usbredir /nonexistent.sock 2>&1 | grep -q 'no usbredir support' &&
  fail "$lab_program was built without usbredir support (libusbredirparser-dev)"
if ldd "$busybox" >/dev/null 2>&1; then fail "$busybox is not a static build (install busybox-static)"; fi

# The kernel: the image package linux-image-amd64 depends on, fetched once. The cache
# keeps its kernel and the guest's modules with what they depend on (modules.list, in
# loading order), not the whole package.
guest_modules=(xhci-pci usb-storage sd_mod sg)
fetch_kernel() {
  local package deb unpacked version module
  if ! compgen -G "$cache/vmlinuz-*" >/dev/null || [[ ! -s "$cache/modules.list" ]]; then
    mkdir -p "$cache"
    rm -rf "$cache"/vmlinuz-* "$cache/modules" "$cache/modules.list"
    package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
    if [[ -z "$package" && "$(id -u)" -eq 0 ]]; then
      apt-get update >/dev/null 2>&1 </dev/null
      package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
    fi
    [[ -n "$package" ]] || fail "apt-cache knows no linux-image-amd64 (run apt-get update)"
    say "fetching $package into $cache"
    # A package list older than the mirror names a version it no longer serves: refresh the
    # list once (as root) and ask again.
    if ! (cd "$cache" && apt-get download "$package" >/dev/null 2>&1 </dev/null); then
      [[ "$(id -u)" -eq 0 ]] && apt-get update >/dev/null 2>&1 </dev/null
      package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
      [[ -n "$package" ]] || fail "apt-cache knows no linux-image-amd64 (run apt-get update)"
      (cd "$cache" && apt-get download "$package" >/dev/null 2>&1 </dev/null) || fail "apt-get download $package failed"
    fi
    deb=$(ls "$cache"/"$package"_*.deb | head -n 1)
    unpacked="$cache/unpacked"
    rm -rf "$unpacked"
    dpkg-deb -x "$deb" "$unpacked" || fail "cannot unpack $deb"
    version=$(ls "$unpacked/lib/modules" | head -n 1)
    depmod -b "$unpacked" "$version" || fail "depmod failed on $package"
    mkdir -p "$cache/modules"
    for module in "${guest_modules[@]}"; do
      modprobe -d "$unpacked" -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
    done | awk '!seen[$0]++' | while read -r path; do
      cp "$path" "$cache/modules/"
      basename "$path"
    done >"$cache/modules.list"
    cp "$unpacked/boot/vmlinuz-$version" "$cache/"
    rm -rf "$unpacked" "$deb"
  fi
  kernel=$(ls "$cache"/vmlinuz-* | head -n 1)
}

work=$(mktemp -d /tmp/mvbridge-vm-XXXXXX)
serve_pids=()
cleanup() {
  local pid
  for pid in "${serve_pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [[ $keep -eq 1 ]]; then say "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

fetch_kernel

# The bridges: index, create options, UUID (their USB serial number is made of it).
bridge_options=("" "--restart-delay-ms 0 --uuid 0x4C410001" "--disk none --uuid 0x4C410002")
bridge_count=2
make_lab() {  # DIR NAME-OF-BRIDGE-1 NAME-OF-BRIDGE-2
  local dir=$1 b
  for b in $(seq 1 $bridge_count); do
    # shellcheck disable=SC2086
    "$lab_program" "$dir" create "${@:1+b:1}" ${bridge_options[$b]} >/dev/null || fail "cannot create a lab bridge in $dir"
  done
}
serial_of() { printf '%012X' "$(sed -n 's/.*--uuid \(0x[0-9A-F]*\).*/\1/p' <<<"${bridge_options[$1]}")"; }

# The initramfs.
image="$work/image"
mkdir -p "$image"/{bin,modules,proc,sys,dev,tmp}
cp "$busybox" "$image/bin/busybox"
for applet in $("$busybox" --list); do [[ "$applet" == busybox ]] || ln -s busybox "$image/bin/$applet"; done
cp "$tool" "$image/bin/mvbridge"
# The repository's files the cases name (file:PATH).
for path in $(grep -v '^[[:space:]]*#' "$here/cases.txt" | grep -o 'file:[^ ]*' | sed 's/^file://' | sort -u); do
  mkdir -p "$image/files/$(dirname "$path")"
  cp "$root/$path" "$image/files/$path" || fail "cases.txt names $path, which the repository lacks"
done
install -m 755 "$here/guest_init.sh" "$image/init"
grep -v '^[[:space:]]*\(#\|$\)' "$here/cases.txt" >"$image/cases"
for b in $(seq 1 $bridge_count); do echo "$b $(serial_of "$b")"; done >"$image/bridges"
cp "$cache"/modules/*.ko "$image/modules/"
cp "$cache/modules.list" "$image/modules.list"
(cd "$image" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz" || fail "cannot pack the initramfs"

# The served lab and its bridges on sockets (the server listens before QEMU starts).
make_lab "$work/lab" PhysicalDrive1 PhysicalDrive2
qemu_bridges=()
for b in $(seq 1 $bridge_count); do
  "$lab_program" "$work/lab" serve "PhysicalDrive$b" --usbredir "$work/bridge$b.sock" 2>"$work/serve$b.log" &
  serve_pids+=($!)
  qemu_bridges+=(-chardev "socket,id=bridge$b,path=$work/bridge$b.sock" -device "usb-redir,chardev=bridge$b,bus=xhci.0")
done
for b in $(seq 1 $bridge_count); do
  for _ in $(seq 100); do [[ -S "$work/bridge$b.sock" ]] && break; sleep 0.1; done
  [[ -S "$work/bridge$b.sock" ]] || fail "the lab did not serve bridge $b: $(cat "$work/serve$b.log")"
done

say "booting $(basename "$kernel") with ${bridge_count} lab bridges"
started=$SECONDS
timeout 600 "$qemu" -machine pc,accel=tcg -smp 1 -m 256 -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 usb-storage.delay_use=0" \
  -serial "file:$work/console.log" -serial "file:$work/results" \
  -device qemu-xhci,id=xhci "${qemu_bridges[@]}" </dev/null >"$work/qemu.log" 2>&1
qemu_status=$?
boot_seconds=$((SECONDS - started))
for pid in "${serve_pids[@]}"; do
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
done
if ! grep -qx '@@DONE' "$work/results"; then
  say "the guest did not finish (QEMU exit status $qemu_status after ${boot_seconds}s)"
  grep '^@@GUEST' "$work/results"
  tail -n 20 "$work/console.log" "$work/qemu.log" "$work"/serve*.log
  keep=1
  exit 1
fi

# The reference lab: each bridge named after the disk node the guest gave it first, so
# that both machines list them in the same order (sda is PhysicalDrive0).
first_map=$(sed -n 's/^@@CASE 1 //p' "$work/results")
names=()
for pair in $first_map; do
  node=${pair%=*}
  letter=${node#sd}
  names[${pair#*=}]="PhysicalDrive$(($(printf '%d' "'$letter") - 97))"
done
make_lab "$work/reference" "${names[1]}" "${names[2]}"

passed=0
failed=0
n=0
while IFS= read -r line; do
  n=$((n + 1))
  eval "words=($line)"
  mode=${words[0]}
  [[ "$mode" == restart ]] && words=("${words[@]:1}")
  args=()
  for word in "${words[@]:1}"; do
    [[ "$word" =~ ^@([0-9])$ ]] && word="\\\\.\\${names[${BASH_REMATCH[1]}]}"
    [[ "$word" == file:* ]] && word="$root/${word#file:}"
    args+=("$word")
  done
  if [[ "$mode" == usb ]]; then
    # The identity the line names, as the guest prints it.
    expected="${args[*]:1}"$'\n'x
  else
    expected=$("$lab_program" "$work/reference" run "${args[@]}"; echo x)
  fi
  got=$(awk -v n="$n" '$0 == "@@END " n {exit} p {printf "%s%s", sep, $0; sep = "\n"} $0 ~ "^@@CASE " n "( |$)" {p = 1}' \
    "$work/results"; echo x)
  map=$(sed -n "s/^@@CASE $n //p" "$work/results")
  for pair in $map; do
    path="\\\\.\\${names[${pair#*=}]}"
    got=${got//\/dev\/${pair%=*}/"$path"}
  done
  if [[ "$got" == "$expected" ]]; then
    passed=$((passed + 1))
    echo "ok   $n: $line"
  else
    failed=$((failed + 1))
    echo "FAIL $n: $line"
    diff <(printf '%s' "${expected%x}") <(printf '%s' "${got%x}") | head -n 20
  fi
done < "$image/cases"

say "${passed} passed, ${failed} failed in one boot of ${boot_seconds}s"
[[ $failed -eq 0 ]]
