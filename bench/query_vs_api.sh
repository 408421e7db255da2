#!/usr/bin/env bash
# Median wall time of `mvbridge-lab run query` (a bridge's full preparation: seven
# command blocks through the emulated device) beside `mvbridge-lab run get_api_ver`
# (the same process start-up with no device at all), and their ratio.
#
#   bench/query_vs_api.sh [PATH-TO-mvbridge-lab] [RUNS]
#
# Defaults: build/default/lab/mvbridge-lab and 101 runs of each.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
lab_bin=${1:-$root/build/default/lab/mvbridge-lab}
runs=${2:-101}
if [[ ! -x $lab_bin ]]; then
    echo "no mvbridge-lab at $lab_bin (build it, or give its path)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lab="$work/lab"
"$lab_bin" "$lab" create PhysicalDrive1

# Microseconds of one run, measured without starting any other process.
time_one() {
    local start=$EPOCHREALTIME
    "$lab_bin" "$lab" run "$@" > /dev/null
    local end=$EPOCHREALTIME
    echo $(( (${end/./} - ${start/./}) ))
}

median_of() {
    local -a samples=()
    for ((i = 0; i < runs; i++)); do samples+=("$(time_one "$@")"); done
    printf '%s\n' "${samples[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

# Warm the file cache first.
for ((i = 0; i < 5; i++)); do time_one query '\\.\PhysicalDrive1' > /dev/null; time_one get_api_ver > /dev/null; done

query_us=$(median_of query '\\.\PhysicalDrive1')
api_us=$(median_of get_api_ver)
printf 'runs of each:            %d\n' "$runs"
printf 'run query, median:       %d us\n' "$query_us"
printf 'run get_api_ver, median: %d us\n' "$api_us"
awk -v q="$query_us" -v a="$api_us" 'BEGIN { printf "ratio query/get_api_ver: %.2f\n", q / a }'
