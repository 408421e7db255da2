#!/usr/bin/env bash
# What a bridge's filled memories cost one request: the median wall time of
# `mvbridge-lab run query` (seven command blocks) and of `run get_cust_page` (a 4 KiB read
# of the flash) on a bridge with 64 MiB written to its disk media and 8 MiB to its flash,
# beside the same requests on a fresh bridge, and their ratios. The memories are files
# read and written in place, so the ratio should stay near 1 (the goal is below 1.2).
#
#   bench/storage.sh [PATH-TO-mvbridge-lab] [RUNS]
#
# Defaults: build/default/lab/mvbridge-lab and 101 runs of each.
set -euo pipefail

source "$(dirname "$0")/bench_common.sh" 101 "$@"
fresh='\\.\PhysicalDrive1'
filled='\\.\PhysicalDrive2'
"$lab_bin" "$lab" create PhysicalDrive1
"$lab_bin" "$lab" create PhysicalDrive2 --flash-size 0x1000000
"$lab_bin" "$lab" fill PhysicalDrive2 media 0 0x4000000 0x5A
"$lab_bin" "$lab" fill PhysicalDrive2 flash 0 0x800000 0xA5

# The two bridges' runs alternate, each first in turn, so that a machine busy with
# something else slows both alike; prints the two medians.
medians_of() {
    local request=$1
    local -a fresh_samples=() filled_samples=()
    for ((i = 0; i < runs; i++)); do
        if ((i % 2 == 0)); then
            fresh_samples+=("$(time_one "$request" "$fresh")")
            filled_samples+=("$(time_one "$request" "$filled")")
        else
            filled_samples+=("$(time_one "$request" "$filled")")
            fresh_samples+=("$(time_one "$request" "$fresh")")
        fi
    done
    echo "$(printf '%s\n' "${fresh_samples[@]}" | median) $(printf '%s\n' "${filled_samples[@]}" | median)"
}

# Warm the file cache first.
for ((i = 0; i < 5; i++)); do
    for drive in "$fresh" "$filled"; do time_one query "$drive" > /dev/null; time_one get_cust_page "$drive" > /dev/null; done
done

printf 'runs of each:              %d\n' "$runs"
printf 'filled bridge:             %s of media, %s of flash written\n' \
    "$(du -h --apparent-size "$lab/bridges/PhysicalDrive2.media" | cut -f1) apparent, $(du -h "$lab/bridges/PhysicalDrive2.media" | cut -f1) used" \
    "$(du -h --apparent-size "$lab/bridges/PhysicalDrive2.flash" | cut -f1)"
for request in query get_cust_page; do
    read -r fresh_us filled_us < <(medians_of "$request")
    printf 'run %-13s fresh:  %d us median\n' "$request" "$fresh_us"
    printf 'run %-13s filled: %d us median\n' "$request" "$filled_us"
    awk -v f="$filled_us" -v e="$fresh_us" -v r="$request" 'BEGIN { printf "ratio filled/fresh (%s): %.2f (goal below 1.2)\n", r, f / e }'
done
