#!/bin/sh
# The guest's /init: loads the USB and SCSI modules, waits for the lab bridges to show up
# as disks, runs the case list through the tool and powers off. Results go to the second
# serial port:
#   @@NAMES 1=0 2=1           (the PhysicalDrive number of each bridge: its first disk
#                              node's letter, sda being 0)
#   @@CASE N sda=1 sdb=2      (which disk node each bridge has while case N runs)
#   <standard output of the tool>
#   @@END N
#   @@GUEST TEXT              (what the guest has to say: a bridge that did not appear)
# Case lines (/cases): "case ARGS..." and "native ARGS..." run `mvbridge ARGS...`;
# "update ARGS..." too (a command that restarts the bridge itself and finds it again), with
# the bridge's disk node held open meanwhile, so that it comes back under another one;
# "restart B ARGS..." runs it and then waits until bridge B has left the bus and come back;
# "usb B ..." prints bridge B's USB identity as the guest enumerated it (VID:PID SERIAL);
# "wine ARGS..." runs `wine mvbridge.exe ARGS...` (see /wine). @B in ARGS is the disk
# node of bridge B, @B: its volume (the same node, except under wine); /bridges holds
# "B SERIAL" lines: its USB serial number at start. file:PATH is the repository's file
# PATH, copied to /files/PATH; made:NAME a file the host made, copied to /made/NAME
# (under wine they are Z:\tmp\mvbridge-vm-guest\files\PATH and ...\made\NAME).
#
# /wine, when present, has what the wine cases need: "exe PATH" (mvbridge.exe on the
# host), "prefix PATH" (the host's wine prefix) and "volumes LETTER..." (the volume letter
# of each bridge in order).
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
out=/dev/ttyS1
stty -F "$out" raw -echo 2>/dev/null

say() { printf '%s\n' "$*" >"$out"; }

while read -r module; do
  insmod "/modules/$module" 2>/dev/null
done </modules.list

# The USB device directory of bridge $1. A bridge is first found by its USB serial number
# (/bridges), then followed by its port: a restart may bring it back with another
# identity (its PG record's), on the same port.
usb_dir() {
  if [ -f "/tmp/port.$1" ]; then
    d=/sys/bus/usb/devices/$(cat "/tmp/port.$1")
    [ -f "$d/devnum" ] && { echo "$d"; return 0; }
    return 1
  fi
  serial=$(sed -n "s/^$1 //p" /bridges)
  for d in /sys/bus/usb/devices/*; do
    if [ -f "$d/serial" ] && [ "$(cat "$d/serial")" = "$serial" ]; then
      echo "${d##*/}" >"/tmp/port.$1"
      echo "$d"
      return 0
    fi
  done
  return 1
}

# The disk node of bridge $1 now, or nothing.
node_of() {
  d=$(usb_dir "$1") || return 1
  for b in "$d"/*:1.0/host*/target*/*/block/*; do
    [ -e "$b" ] && [ -e "/dev/${b##*/}" ] && { echo "${b##*/}"; return 0; }
  done
  return 1
}

devnum_of() {
  d=$(usb_dir "$1") && cat "$d/devnum"
}

# Waits up to a minute for bridge $1's disk node.
wait_node() {
  i=0
  while [ $i -lt 600 ]; do
    node_of "$1" && return 0
    usleep 100000
    i=$((i + 1))
  done
  say "@@GUEST bridge $1 did not appear"
  return 1
}

# Waits until bridge $1 came back with another device number than $2.
wait_return() {
  i=0
  while [ $i -lt 600 ]; do
    now=$(devnum_of "$1")
    [ -n "$now" ] && [ "$now" != "$2" ] && { wait_node "$1" >/dev/null; return; }
    usleep 100000
    i=$((i + 1))
  done
  say "@@GUEST bridge $1 did not come back"
}

wine_setting() { sed -n "s/^$1 //p" /wine; }

# The host's root, read-only over 9p with a tmpfs on top, at /mnt/host: wine runs in a chroot
# of it, with one server kept running for all cases.
wine_root=/mnt/host
wine_files=/tmp/mvbridge-vm-guest
wine_ready=
start_wine() {
  wine_ready=no
  mkdir -p /mnt/lower /mnt/rw "$wine_root"
  mount -t 9p -o ro,trans=virtio,version=9p2000.L,msize=262144,cache=loose hostroot /mnt/lower || {
    say "@@GUEST cannot mount the host's root over 9p"
    return 1
  }
  mount -t tmpfs tmpfs /mnt/rw
  mkdir -p /mnt/rw/upper /mnt/rw/work
  mount -t overlay overlay -o lowerdir=/mnt/lower,upperdir=/mnt/rw/upper,workdir=/mnt/rw/work "$wine_root" || {
    say "@@GUEST cannot lay a tmpfs over the host's root"
    return 1
  }
  for dir in dev proc sys; do mount -o bind "/$dir" "$wine_root/$dir"; done
  for dir in files made; do
    mkdir -p "$wine_root$wine_files/$dir"
    [ -d "/$dir" ] && mount -o bind "/$dir" "$wine_root$wine_files/$dir"
  done
  wine_exe=$(wine_setting exe)
  wine_prefix=$(wine_setting prefix)
  # Vendor command blocks need root (the kernel refuses them to other users whatever the
  # node's mode), and wine runs only with a prefix of its own user: the prefix is root's
  # in the overlay, whoever made it on the host.
  chown 0:0 "$wine_root$wine_prefix"
  # The prefix names the host's server directory; the guest's server makes its own.
  rm -f "$wine_root$wine_prefix/wineserver"
  started=$(date +%s)
  in_wine wineserver -p 2>/tmp/wineserver.err || {
    say "@@GUEST wineserver did not start: $(head -n 1 /tmp/wineserver.err)"
    return 1
  }
  in_wine wine "$wine_exe" get_api_ver >/dev/null 2>&1
  say "@@GUEST wine ready after $(($(date +%s) - started))s"
  wine_ready=yes
}

# Runs a command of the host's in the chroot.
in_wine() {
  chroot "$wine_root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp WINEPREFIX="$wine_prefix" WINEDEBUG=-all "$@"
}

# Points wine's \\.\PhysicalDriveN and \\.\X: at each bridge's disk node as it is now.
link_drives() {
  set -- $(wine_setting volumes)
  for b in $bridges; do
    node=$(node_of "$b") || continue
    ln -sfn "/dev/$node" "$wine_root$wine_prefix/dosdevices/physicaldrive$(cat "/tmp/drive.$b")"
    ln -sfn "/dev/$node" "$wine_root$wine_prefix/dosdevices/$1::"
    shift
  done
}

# The wine path of a file: Z: is the root.
wine_path() { printf 'Z:%s' "$1" | tr / '\\'; }

bridges=$(cut -d' ' -f1 /bridges)
for b in $bridges; do wait_node "$b" >/dev/null; done
names=
for b in $bridges; do
  letter=$(node_of "$b" | cut -c3)
  number=0
  for l in a b c d e f g h i j; do
    [ "$l" = "$letter" ] && break
    number=$((number + 1))
  done
  echo "$number" >"/tmp/drive.$b"
  names="$names $b=$number"
done
say "@@NAMES$names"

n=0
pass_started=$(date +%s)
wine_cases=
while IFS= read -r line; do
  case "$line" in '' | '#'*) continue ;; esac
  n=$((n + 1))
  eval "set -- $line"
  mode=$1
  shift
  target=
  if [ "$mode" = restart ]; then
    target=$1
    shift
    before=$(devnum_of "$target")
  fi
  if [ "$mode" = wine ] && [ -z "$wine_ready" ]; then
    say "@@GUEST native pass: $((n - 1)) cases in $(($(date +%s) - pass_started))s"
    pass_started=$(date +%s)
    wine_cases=$n
    start_wine
  fi
  map=
  for b in $bridges; do map="$map $(node_of "$b")=$b"; done
  count=$#
  for word in "$@"; do
    if [ "$mode" = wine ]; then
      case "$word" in
        @[0-9]) word="\\\\.\\PhysicalDrive$(cat "/tmp/drive.${word#@}")" ;;
        @[0-9]:)
          b=${word#@}
          word="\\\\.\\$(wine_setting volumes | cut -d' ' -f"${b%:}"):"
          ;;
        file:*) word=$(wine_path "$wine_files/files/${word#file:}") ;;
        made:*) word=$(wine_path "$wine_files/made/${word#made:}") ;;
      esac
    else
      case "$word" in
        @[0-9] | @[0-9]:) b=${word#@} && word=/dev/$(node_of "${b%:}") ;;
        file:*) word=/files/${word#file:} ;;
        made:*) word=/made/${word#made:} ;;
      esac
    fi
    set -- "$@" "$word"
  done
  shift "$count"
  case "$mode" in
    usb)
      d=$(usb_dir "$1")
      echo "$(cat "$d/idVendor"):$(cat "$d/idProduct") $(cat "$d/serial")" >/tmp/out
      ;;
    wine)
      : >/tmp/out
      if [ "$wine_ready" = yes ]; then
        link_drives
        in_wine wine "$wine_exe" "$@" >/tmp/out 2>/dev/null
      fi
      ;;
    update)
      # The bridge's disk node is held open while it is away, as a program of the user's
      # might: the kernel cannot give the node's name to the bridge when it comes back.
      held=
      for word in "$@"; do case "$word" in /dev/*) held=$word ;; esac; done
      sleep 600 <"$held" &
      holder=$!
      mvbridge "$@" >/tmp/out 2>/dev/null
      kill "$holder"
      ;;
    *) mvbridge "$@" >/tmp/out 2>/dev/null ;;
  esac
  say "@@CASE $n$map"
  # The end marker starts a line of its own even after output without a final newline;
  # the reader takes the one line feed before it away again.
  { cat /tmp/out; printf '\n@@END %s\n' "$n"; } >"$out"
  [ -n "$target" ] && wait_return "$target" "$before"
done </cases

if [ -n "$wine_cases" ]; then
  say "@@GUEST wine pass: $((n - wine_cases + 1)) cases in $(($(date +%s) - pass_started))s"
  [ "$wine_ready" = yes ] && in_wine wineserver -k
fi
say "@@DONE"
sync
poweroff -f
