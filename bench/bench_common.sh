# Shared by the bench scripts: `source` it with the script's default number of runs
# followed by the script's own arguments:
#
#   source "$(dirname "$0")/bench_common.sh" DEFAULT_RUNS "$@"
#
# It sets lab_bin (argument 1, default build/default/lab/mvbridge-lab) and runs
# (argument 2, default DEFAULT_RUNS), makes a temporary directory `work` removed on exit
# with the path of a lab in it (`lab`), and defines time_one (microseconds of one
# `mvbridge-lab LAB run ...`) and median (of the numbers on standard input).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lab_bin=${2:-$root/build/default/lab/mvbridge-lab}
runs=${3:-$1}
if [[ ! -x $lab_bin ]]; then
    echo "no mvbridge-lab at $lab_bin (build it, or give its path)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
lab="$work/lab"

# Microseconds of one run, measured without starting any other process.
time_one() {
    local start=$EPOCHREALTIME
    "$lab_bin" "$lab" run "$@" > /dev/null
    local end=$EPOCHREALTIME
    echo $(( (${end/./} - ${start/./}) ))
}

median() { sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
