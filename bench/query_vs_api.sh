#!/usr/bin/env bash
# Median wall time of `mvbridge-lab run query` (a bridge's full preparation: seven
# command blocks through the emulated device) beside `mvbridge-lab run get_api_ver`
# (the same process start-up with no device at all), and their ratio.
#
#   bench/query_vs_api.sh [PATH-TO-mvbridge-lab] [RUNS]
#
# Defaults: build/default/lab/mvbridge-lab and 101 runs of each.
set -euo pipefail

source "$(dirname "$0")/bench_common.sh" 101 "$@"
"$lab_bin" "$lab" create PhysicalDrive1

median_of() {
    local -a samples=()
    for ((i = 0; i < runs; i++)); do samples+=("$(time_one "$@")"); done
    printf '%s\n' "${samples[@]}" | median
}

# Warm the file cache first.
for ((i = 0; i < 5; i++)); do time_one query '\\.\PhysicalDrive1' > /dev/null; time_one get_api_ver > /dev/null; done

query_us=$(median_of query '\\.\PhysicalDrive1')
api_us=$(median_of get_api_ver)
printf 'runs of each:            %d\n' "$runs"
printf 'run query, median:       %d us\n' "$query_us"
printf 'run get_api_ver, median: %d us\n' "$api_us"
awk -v q="$query_us" -v a="$api_us" 'BEGIN { printf "ratio query/get_api_ver: %.2f\n", q / a }'
