#!/usr/bin/env bash
# The virtual machine cases: lab bridges on a QEMU guest's USB bus, the native Linux tool
# and the Windows tool under wine inside, their output compared with `mvbridge-lab run` on
# an identical lab.
#
#   tests/vm/run.sh [--lab PROGRAM] [--tool STATIC_TOOL] [--exe MVBRIDGE_EXE] [--cache DIR] [--keep]
#
# One boot (TCG, one CPU) runs every line of tests/vm/cases.txt with the static tool (the
# native pass), then every `case` line again as `wine mvbridge.exe` (the wine pass). The
# guest is a Debian kernel (its package fetched once with `apt-get download` into the
# cache, by default build/vm-cache, never installed) and a busybox initramfs with the
# modules xhci-pci, usb-storage (delay_use=0), sd_mod and sg. Each bridge is served by
# `mvbridge-lab serve` on a UNIX socket that QEMU's usb-redir device connects to.
#
# The wine pass runs the host's own wine: the guest mounts the host's root read-only over
# 9p with a tmpfs overlay on top and runs wine in a chroot of it, with a wine prefix made
# once on the host (in the cache). Each bridge's disk node is linked as wine's
# \\.\PhysicalDriveN (the number the reference lab names it by) and `@B:` as the volume
# \\.\X: (X = e for bridge 1, f for bridge 2, ...); file arguments become Z:\ paths. The
# pass is skipped, with a line saying why, where wine or the exe (default
# build/windows/mvbridge.exe) is missing.
#
# The last line counts the cases: "tests/vm: N passed, M failed (A native, B under wine) ...".
# Exit status: 0 every case matched, 1 a case differed or the boot failed, 77 the virtual
# machine cannot run here (QEMU missing, or the kernel package cannot be fetched); the line
# before says why and the caller reports the step skipped.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
lab_program="$root/build/release/lab/mvbridge-lab"
tool="$root/build/release/mvbridge-static"
exe="$root/build/windows/mvbridge.exe"
cache="$root/build/vm-cache"
keep=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --lab) lab_program=$2; shift 2 ;;
    --tool) tool=$2; shift 2 ;;
    --exe) exe=$2; shift 2 ;;
    --cache) cache=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h | --help) awk 'NR > 1 && !/^#/ {exit} NR > 1 {sub(/^# ?/, ""); print}' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "tests/vm: unknown option $1" >&2; exit 2 ;;
  esac
done

say() { echo "tests/vm: $*"; }
fail() { say "$*"; exit 1; }
skip() { say "$*; virtual machine cases skipped"; exit 77; }

qemu=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 is not installed"
busybox=$(command -v busybox) || fail "busybox is not installed (busybox-static)"
[[ -x "$lab_program" ]] || fail "no lab program at $lab_program"
[[ -x "$tool" ]] || fail "no static tool at $tool"
lab_program=$(realpath "$lab_program")
"$lab_program" /nonexistent serve PhysicalDrive1 --usbredir /nonexistent.sock 2>&1 | grep -q 'no usbredir support' &&
  fail "$lab_program was built without usbredir support (libusbredirparser-dev)"
if ldd "$busybox" >/dev/null 2>&1; then fail "$busybox is not a static build (install busybox-static)"; fi

# Whether the wine pass runs, and why not.
wine_skipped=""
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  wine_skipped="wine is not installed"
elif ! "$qemu" -device help 2>/dev/null | grep -q '"virtio-9p-pci"'; then
  wine_skipped="$qemu cannot share the host's root with the guest (no virtio-9p-pci)"
elif [[ ! -f "$exe" ]]; then
  wine_skipped="no mvbridge.exe at $exe (cmake --preset windows && cmake --build --preset windows)"
else
  exe=$(realpath "$exe")
fi

# The kernel: the image package linux-image-amd64 depends on, fetched once. The cache
# keeps its kernel and the guest's modules with what they depend on (modules.list, in
# loading order), not the whole package; modules.wanted names the modules it was made for.
# The USB and SCSI modules reach the bridges; 9p over virtio and overlay mount the host's
# root for the wine pass.
guest_modules=(xhci-pci usb-storage sd_mod sg virtio_pci 9pnet_virtio 9p overlay)
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}'
}
# Refreshes the package lists (as root only; a failure shows in what apt-cache knows next).
refresh_lists() { [[ "$(id -u)" -eq 0 ]] && apt-get update >/dev/null 2>&1 </dev/null; }
fetch_kernel() {
  local package deb unpacked version module
  if ! compgen -G "$cache/vmlinuz-*" >/dev/null || [[ ! -s "$cache/modules.list" ]] ||
    [[ "$(cat "$cache/modules.wanted" 2>/dev/null)" != "${guest_modules[*]}" ]]; then
    mkdir -p "$cache"
    rm -rf "$cache"/vmlinuz-* "$cache/modules" "$cache/modules.list" "$cache/modules.wanted"
    package=$(kernel_package)
    [[ -n "$package" ]] || { refresh_lists; package=$(kernel_package); }
    [[ -n "$package" ]] || skip "apt-cache knows no linux-image-amd64 to fetch the guest's kernel from"
    say "fetching $package into $cache"
    # A package list older than the mirror names a version it no longer serves: refresh the
    # list once (as root) and ask again. A machine that reaches no mirror cannot boot the guest.
    if ! (cd "$cache" && apt-get download "$package" >/dev/null 2>&1 </dev/null); then
      refresh_lists
      package=$(kernel_package)
      [[ -n "$package" ]] || skip "apt-cache knows no linux-image-amd64 to fetch the guest's kernel from"
      (cd "$cache" && apt-get download "$package" >/dev/null 2>&1 </dev/null) ||
        skip "cannot fetch the guest's kernel (apt-get download $package failed: no package mirror reachable?)"
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
    echo "${guest_modules[*]}" >"$cache/modules.wanted"
  fi
  kernel=$(ls "$cache"/vmlinuz-* | head -n 1)
}

# The wine prefix the guest runs wine with, made once on the host with the host's wine
# (about 700 MB, 20 s) and made again when wine changes. Its server is waited for, so that
# the guest reads a prefix no host process still writes.
wine_prefix="$cache/wine-prefix"
make_wine_prefix() {
  local version server_dir
  version="$(wine --version 2>/dev/null | head -n 1) $(id -u)"
  if [[ "$(cat "$wine_prefix.made" 2>/dev/null)" != "$version" ]]; then
    say "making the wine prefix $wine_prefix"
    rm -rf "$wine_prefix" "$wine_prefix.made"
    mkdir -p "$cache"
    WINEPREFIX="$wine_prefix" WINEDEBUG=-all wineboot -i >/dev/null 2>&1 </dev/null ||
      fail "wineboot could not make the wine prefix $wine_prefix"
    echo "$version" >"$wine_prefix.made"
  fi
  WINEPREFIX="$wine_prefix" wineserver -w 2>/dev/null
  # The server's own directory (named in the prefix) outlives it.
  server_dir=$(cat "$wine_prefix/wineserver" 2>/dev/null)
  [[ "$server_dir" =~ ^wine-[A-Za-z0-9]{6}$ ]] && rm -rf "${TMPDIR:-/tmp}/$server_dir"
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
[[ -n "$wine_skipped" ]] || make_wine_prefix

# The bridges: index, create options, UUID (their USB serial number is made of it).
bridge_options=(""
  "--restart-delay-ms 0 --uuid 0x4C410001"
  "--disk none --uuid 0x4C410002"
  "--disk sata --uuid 0x4C410003")
bridge_count=3
make_lab() {  # DIR NAME-OF-BRIDGE-1 NAME-OF-BRIDGE-2 ...
  local dir=$1 b
  for b in $(seq 1 $bridge_count); do
    # shellcheck disable=SC2086
    "$lab_program" "$dir" create "${@:1+b:1}" ${bridge_options[$b]} >/dev/null || fail "cannot create a lab bridge in $dir"
  done
}
volume_letters=(_ e f g)
serial_of() { printf '%012X' "$(sed -n 's/.*--uuid \(0x[0-9A-F]*\).*/\1/p' <<<"${bridge_options[$1]}")"; }

# The files the cases name as made:NAME, made with the lab for the default bridge's chip
# (code 12).
make_files() {  # DIR
  "$lab_program" "$1" mkimage "$1/main.bin" main 12 65536 --version 2.1.0 --date 20250401 >/dev/null &&
    "$lab_program" "$1" mkimage "$1/rescue.bin" rescue 12 32768 >/dev/null &&
    "$lab_program" "$1" mkled "$1/led.bin" --bright 0x1234 --leds 6 >/dev/null ||
    fail "cannot make the image files"
}

# The case list the guest runs: the native pass (cases.txt as it stands), then the wine
# pass (each `case` line again as a `wine` line).
grep -v '^[[:space:]]*\(#\|$\)' "$here/cases.txt" >"$work/cases"
if [[ -z "$wine_skipped" ]]; then
  sed -n 's/^case /wine /p' "$work/cases" >>"$work/cases"
fi

# The initramfs.
image="$work/image"
mkdir -p "$image"/{bin,modules,proc,sys,dev,tmp,mnt}
cp "$busybox" "$image/bin/busybox"
for applet in $("$busybox" --list); do [[ "$applet" == busybox ]] || ln -s busybox "$image/bin/$applet"; done
cp "$tool" "$image/bin/mvbridge"
# The repository's files the cases name (file:PATH) and the made ones (made:NAME).
for path in $(grep -o 'file:[^ ]*' "$work/cases" | sed 's/^file://' | sort -u); do
  mkdir -p "$image/files/$(dirname "$path")"
  cp "$root/$path" "$image/files/$path" || fail "cases.txt names $path, which the repository lacks"
done
mkdir -p "$work/made" "$image/made"
make_files "$work/made"
cp "$work/made"/*.bin "$image/made/"
install -m 755 "$here/guest_init.sh" "$image/init"
cp "$work/cases" "$image/cases"
for b in $(seq 1 $bridge_count); do echo "$b $(serial_of "$b")"; done >"$image/bridges"
cp "$cache"/modules/*.ko "$image/modules/"
cp "$cache/modules.list" "$image/modules.list"
qemu_wine=()
memory=256
if [[ -z "$wine_skipped" ]]; then
  printf '%s\n' "exe $exe" "prefix $(realpath "$wine_prefix")" "volumes ${volume_letters[*]:1}" >"$image/wine"
  qemu_wine=(-virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap")
  memory=1024
fi
(cd "$image" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz" || fail "cannot pack the initramfs"

# The served lab and its bridges on sockets (the server listens before QEMU starts).
make_lab "$work/lab" PhysicalDrive1 PhysicalDrive2 PhysicalDrive3
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
timeout 900 "$qemu" -machine pc,accel=tcg -smp 1 -m "$memory" -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 usb-storage.delay_use=0" \
  -serial "file:$work/console.log" -serial "file:$work/results" \
  -device qemu-xhci,id=xhci "${qemu_bridges[@]}" "${qemu_wine[@]}" </dev/null >"$work/qemu.log" 2>&1
qemu_status=$?
boot_seconds=$((SECONDS - started))
for pid in "${serve_pids[@]}"; do
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
done
grep '^@@GUEST' "$work/results" | sed 's/^@@GUEST /tests\/vm: guest: /'
if ! grep -qx '@@DONE' "$work/results"; then
  say "the guest did not finish (QEMU exit status $qemu_status after ${boot_seconds}s)"
  tail -n 20 "$work/console.log" "$work/qemu.log" "$work"/serve*.log
  keep=1
  exit 1
fi

# The reference lab: each bridge named after the disk node the guest first gave it, so
# that both machines list them in the same order (sda is PhysicalDrive0); the guest says
# which number it linked each bridge's disk to for wine.
names=()
for pair in $(sed -n 's/^@@NAMES //p' "$work/results"); do
  names[${pair%=*}]="PhysicalDrive${pair#*=}"
done
[[ ${#names[@]} -eq $bridge_count ]] || fail "the guest named no disk for each bridge"
make_lab "$work/reference" "${names[@]:1}"
mkdir -p "$work/reference-made"
make_files "$work/reference-made"

# The fwupdate progress line comes once a second, so how many there are depends on the
# machine's speed: the output is compared as the last percentage shown (after checking that
# the percentages never fall) and the rest, with the line end that closes the progress put
# first (the result line may come before or after it).
without_progress() {  # TEXT
  local text=$1 rest="" last=-1 order="rising" pattern=$'udpate progress: ([0-9]+)%\r'
  while [[ "$text" =~ $pattern ]]; do
    rest+=${text%%"${BASH_REMATCH[0]}"*}
    text=${text#*"${BASH_REMATCH[0]}"}
    [[ ${BASH_REMATCH[1]} -ge $last ]] || order="falling"
    last=${BASH_REMATCH[1]}
  done
  rest+=$text
  if [[ "$rest" == $'\n'* ]]; then
    rest=${rest#$'\n'}
  elif [[ "$rest" == *$'\n\n'x ]]; then
    rest=${rest%$'\n'x}x
  fi
  printf '(progress %s to %s%%)\n%s' "$order" "$last" "$rest"
}

# A case's words for the reference lab: @B and @B: are bridge B's path (the reference lab
# has no volume letters: a volume case runs on the disk it is the volume of), file:PATH is
# the repository's file, made:NAME the reference's copy of the made file.
passed=0
failed=0
passed_wine=0
n=0
while IFS= read -r line; do
  n=$((n + 1))
  eval "words=($line)"
  mode=${words[0]}
  [[ "$mode" == restart || "$mode" == usb ]] && words=("${words[@]:1}")
  args=()
  volumes=()
  for word in "${words[@]:1}"; do
    if [[ "$word" =~ ^@([0-9])(:?)$ ]]; then
      b=${BASH_REMATCH[1]}
      word="\\\\.\\${names[$b]}"
      [[ -n "${BASH_REMATCH[2]}" && "$mode" == wine ]] && volumes+=("$word=\\\\.\\${volume_letters[$b]}:")
    fi
    [[ "$word" == file:* ]] && word="$root/${word#file:}"
    [[ "$word" == made:* ]] && word="$work/reference-made/${word#made:}"
    args+=("$word")
  done
  if [[ "$mode" == usb ]]; then
    # The identity the line names, as the guest prints it.
    expected="${words[*]:1}"$'\n'x
  else
    expected=$("$lab_program" "$work/reference" run "${args[@]}"; echo x)
  fi
  for pair in "${volumes[@]}"; do expected=${expected//"${pair%%=*}"/"${pair#*=}"}; done
  got=$(awk -v n="$n" '$0 == "@@END " n {exit} p {printf "%s%s", sep, $0; sep = "\n"} $0 ~ "^@@CASE " n "( |$)" {p = 1}' \
    "$work/results"; echo x)
  if [[ "$mode" == wine ]]; then
    # The Windows console ends each line with CR LF: one CR before each LF is its own.
    got=${got//$'\r\n'/$'\n'}
  else
    map=$(sed -n "s/^@@CASE $n //p" "$work/results")
    for pair in $map; do
      path="\\\\.\\${names[${pair#*=}]}"
      got=${got//\/dev\/${pair%=*}/"$path"}
    done
  fi
  if [[ "$mode" == update ]]; then
    expected=$(without_progress "$expected")
    got=$(without_progress "$got")
  fi
  if [[ "$got" == "$expected" ]]; then
    passed=$((passed + 1))
    [[ "$mode" == wine ]] && passed_wine=$((passed_wine + 1))
    echo "ok   $n: $line"
  else
    failed=$((failed + 1))
    echo "FAIL $n: $line"
    diff <(printf '%s' "${expected%x}") <(printf '%s' "${got%x}") | head -n 20 | cut -c 1-200
  fi
done <"$work/cases"

if [[ -n "$wine_skipped" ]]; then
  say "wine pass skipped: $wine_skipped"
  detail="$((passed - passed_wine)) native; wine pass skipped"
else
  detail="$((passed - passed_wine)) native, ${passed_wine} under wine"
fi
say "${passed} passed, ${failed} failed (${detail}) in one boot of ${boot_seconds}s"
[[ $failed -eq 0 ]]
