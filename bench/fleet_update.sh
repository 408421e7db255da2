#!/usr/bin/env bash
# Whether updates of many bridges overlap: the fleet update example (Python, zelko.lab)
# updates one lab bridge, then eight at once, at lab time factor 1 (the restarts and
# polls of an update take their real time). Prints both wall times and their ratio; the
# goal is at most 1.3 (eight updates cost little more than one). Exits 1 above it.
#
#   bench/fleet_update.sh [PATH-TO-mvbridge-lab] [RUNS]
#
# Defaults: build/default/lab/mvbridge-lab and 1 run. The package is taken from the same
# build (BUILD/python), so the build must have the Python package (MVBRIDGE_PYTHON).
set -euo pipefail

source "$(dirname "$0")/bench_common.sh" 1 "$@"
package=$(cd "$(dirname "$lab_bin")/.." && pwd)/python
if [[ ! -d $package/zelko ]]; then
    echo "no Python package beside $lab_bin (build with MVBRIDGE_PYTHON on)" >&2
    exit 1
fi
python=/usr/bin/python3
[[ -x $python ]] || python=python3

"$lab_bin" "$lab" init --time-factor 1 > /dev/null
for i in 0 1 2 3 4 5 6 7 8; do
    "$lab_bin" "$lab" create "PhysicalDrive$i" --uuid "0x4D56000$i" > /dev/null
done
"$lab_bin" "$lab" mkimage "$work/main.bin" main 12 262144 --version 2.0.0 > /dev/null
"$lab_bin" "$lab" mkimage "$work/rescue.bin" rescue 12 262144 --version 2.0.0 > /dev/null

# Milliseconds of one fleet update of the given paths; fails when any bridge failed.
fleet_ms() {
    local start=$EPOCHREALTIME
    PYTHONPATH=$package MVBRIDGE_LAB=$lab_bin "$python" "$root/examples/python/fleet_update.py" --lab "$lab" \
        --main "$work/main.bin" --rescue "$work/rescue.bin" --log "$work/fleet.json" --plain "$@" > "$work/fleet.out" ||
        { cat "$work/fleet.out" >&2; exit 1; }
    local end=$EPOCHREALTIME
    echo $(( (${end/./} - ${start/./}) / 1000 ))
}

one=() eight=()
eight_paths=()
for i in 1 2 3 4 5 6 7 8; do eight_paths+=("\\\\.\\PhysicalDrive$i"); done
for ((r = 0; r < runs; r++)); do
    for i in 0 1 2 3 4 5 6 7 8; do "$lab_bin" "$lab" set "PhysicalDrive$i" fw_running main > /dev/null; done
    one+=("$(fleet_ms '\\.\PhysicalDrive0')")
    eight+=("$(fleet_ms "${eight_paths[@]}")")
done
one_ms=$(printf '%s\n' "${one[@]}" | median)
eight_ms=$(printf '%s\n' "${eight[@]}" | median)
ratio=$(awk -v a="$eight_ms" -v b="$one_ms" 'BEGIN { printf "%.2f", a / b }')
echo "one bridge: ${one_ms} ms, eight bridges: ${eight_ms} ms, ratio ${ratio} (goal at most 1.30)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.30) }'
