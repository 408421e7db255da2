#!/bin/sh
# The guest's /init: loads the USB and SCSI modules, waits for the lab bridges to show up
# as disks, runs the case list through the tool and powers off. Results go to the second
# serial port, one block per case:
#   @@CASE N sda=1 sdb=2      (which disk node each bridge has while the case runs)
#   <standard output of the tool>
#   @@END N
# Case lines (/cases): "case ARGS..." runs `mvbridge ARGS...`; "restart B ARGS..." runs it
# too and then waits until bridge B has left the bus and come back; "usb B ..." prints
# bridge B's USB identity as the guest enumerated it (VID:PID SERIAL). @B in ARGS is the
# disk node of bridge B (/bridges holds "B SERIAL" lines: its USB serial number at
# start); file:PATH is the file PATH of the repository, copied to /files/PATH.
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

bridges=$(cut -d' ' -f1 /bridges)
for b in $bridges; do wait_node "$b" >/dev/null; done
say "@@READY"

n=0
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
  map=
  for b in $bridges; do map="$map $(node_of "$b")=$b"; done
  count=$#
  for word in "$@"; do
    case "$word" in
      @[0-9]) word=/dev/$(node_of "${word#@}") ;;
      file:*) word=/files/${word#file:} ;;
    esac
    set -- "$@" "$word"
  done
  shift "$count"
  if [ "$mode" = usb ]; then
    d=$(usb_dir "$1")
    echo "$(cat "$d/idVendor"):$(cat "$d/idProduct") $(cat "$d/serial")" >/tmp/out
  else
    mvbridge "$@" >/tmp/out 2>/dev/null
  fi
  say "@@CASE $n$map"
  # The end marker starts a line of its own even after output without a final newline;
  # the reader takes the one line feed before it away again.
  { cat /tmp/out; printf '\n@@END %s\n' "$n"; } >"$out"
  [ -n "$target" ] && wait_return "$target" "$before"
done </cases

say "@@DONE"
sync
poweroff -f
