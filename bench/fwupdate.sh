#!/usr/bin/env bash
# What a full firmware update moves and how long it takes: 1 MiB main and rescue images,
# an LED image and a configuration file written to a lab bridge at lab time factor 1000.
# Prints the flash bytes written (the data phases of the flash writes, from the trace)
# over the bytes the update requires: each image once, the LED image's pages, three
# boot-header sectors and one PG record commit (goal 1.00: no chunk sent twice), and the
# median wall time of the update.
#
#   bench/fwupdate.sh [PATH-TO-mvbridge-lab] [RUNS]
#
# Defaults: build/default/lab/mvbridge-lab and 5 runs.
set -euo pipefail

source "$(dirname "$0")/bench_common.sh" 5 "$@"
mib=1048576
"$lab_bin" "$lab" create PhysicalDrive1 --uuid 0x4D560001 --flash-size 0x400000
"$lab_bin" "$lab" set lab time_factor 1000
"$lab_bin" "$lab" mkimage "$work/main.bin" main 12 $mib
"$lab_bin" "$lab" mkimage "$work/rescue.bin" rescue 12 $mib
"$lab_bin" "$lab" mkled "$work/led.bin" --at 0x8C3F0000
cp "$root/examples/pg.conf" "$work/pg.conf"
led_bytes=$(stat -c %s "$work/led.bin")
led_pages=$(( (led_bytes + 4095) / 4096 ))
required=$(( 2 * mib + led_pages * 4096 + 3 * 4096 + 4096 ))

samples=()
written=0
for ((i = 0; i < runs; i++)); do
    "$lab_bin" "$lab" set PhysicalDrive1 fw_running main
    "$lab_bin" "$lab" trace clear
    "$lab_bin" "$lab" trace on
    start=$EPOCHREALTIME
    out=$("$lab_bin" "$lab" run fwupdate '\\.\PhysicalDrive1' "$work/main.bin" "$work/rescue.bin" "$work/pg.conf" "$work/led.bin")
    end=$EPOCHREALTIME
    "$lab_bin" "$lab" trace off
    [[ $out == *"fwupdate success"* ]] || { echo "the update failed: $out" >&2; exit 1; }
    samples+=($(( (${end/./} - ${start/./}) / 1000 )))
    written=$(awk '$1 == "CMD" && $3 == "E3" && $7 == "11" { for (i = 1; i < NF; i++) if ($i == "out") sum += $(i + 1) } END { print sum + 0 }' "$lab/trace.log")
done
median=$(printf '%s\n' "${samples[@]}" | median)
printf 'flash bytes written %d, required %d, ratio %s\n' "$written" "$required" "$(awk -v w="$written" -v r="$required" 'BEGIN { printf "%.2f", w / r }')"
printf 'update wall time (median of %d, lab time factor 1000): %d ms\n' "$runs" "$median"
