#!/usr/bin/env bash
# tools/demo as a user meets it: an unknown option prints the usage and runs nothing; the
# tour runs with --lab given as an absolute path, a relative path and a name on PATH; and
# every command line the tour prints, pasted into a shell in another directory with PATH
# and LAB set as the tour says, prints what the tour showed.
#   demo_test.sh TOOLS_DEMO MVBRIDGE_LAB
set -uo pipefail

absolute() { printf '%s/%s' "$(cd "$(dirname "$1")" && pwd)" "$(basename "$1")"; }
demo=$(absolute "$1")
lab_bin=$(absolute "$2")
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

scratch=$(mktemp -d)
kept=""
trap 'rm -rf "$scratch" ${kept:+"$(dirname "$kept")"}' EXIT

# An unknown option: usage on standard error, exit 2, no build and no tour.
bash "$demo" --no-such-option >"$scratch/out" 2>"$scratch/err"
status=$?
[[ $status -eq 2 ]] || fail "unknown option exits $status, not 2"
[[ ! -s $scratch/out ]] || fail "unknown option printed on standard output: $(head -n 3 "$scratch/out")"
[[ $(head -n 1 "$scratch/err") == "tools/demo: unknown option '--no-such-option'" ]] ||
    fail "unknown option message: $(head -n 1 "$scratch/err")"
grep -q '^usage: tools/demo ' "$scratch/err" || fail "unknown option printed no usage"

bash "$demo" --help >"$scratch/out" 2>&1 || fail "--help exits $?"
grep -q '^usage: tools/demo ' "$scratch/out" || fail "--help printed no usage"

bash "$demo" --lab >"$scratch/out" 2>&1
[[ $? -eq 2 ]] || fail "--lab without a program does not exit 2"

bash "$demo" --lab no-such-lab-program-here >"$scratch/out" 2>"$scratch/err"
[[ $? -eq 1 ]] || fail "--lab with a name PATH does not know does not exit 1"
[[ $(cat "$scratch/err") == "tools/demo: no-such-lab-program-here is no program" ]] ||
    fail "--lab with an unknown name says: $(cat "$scratch/err")"

# The tour with --lab as given ($1), run from directory $2 with PATH $3; its standard
# output in $scratch/tour.$4. It must end with the trace of the last section and write
# nothing on standard error.
tour() {
    local given=$1 from=$2 path=$3 name=$4
    (cd "$from" && PATH=$path bash "$demo" --keep --lab "$given") >"$scratch/tour.$name" 2>"$scratch/tour.$name.err"
    local status=$?
    local lab_dir
    lab_dir=$(sed -n 's/^# The lab stays in \(.*\); the lab program is .*$/\1/p' "$scratch/tour.$name")
    [[ -n $lab_dir ]] || fail "--lab $given: the kept lab's path is not printed"
    if [[ $name == absolute ]]; then kept=$lab_dir; elif [[ -n $lab_dir ]]; then rm -rf "$(dirname "$lab_dir")"; fi
    [[ $status -eq 0 ]] || fail "--lab $given from $from: the tour exits $status: $(tail -n 3 "$scratch/tour.$name.err")"
    [[ ! -s $scratch/tour.$name.err ]] || fail "--lab $given: standard error: $(head -n 3 "$scratch/tour.$name.err")"
    grep -q '^1: E2 \.\. \.\. \.\. BB --status 2 --sense 05/24/00 --first 1 (matched 1)$' "$scratch/tour.$name" ||
        fail "--lab $given: the tour did not reach its end"
    grep -q '^fwupdate success$' "$scratch/tour.$name" || fail "--lab $given: the firmware update did not succeed"
}

lab_dir_of_bin=$(dirname "$lab_bin")
tour "$lab_bin" "$scratch" "$PATH" absolute
tour "lab/$(basename "$lab_bin")" "$(dirname "$lab_dir_of_bin")" "$PATH" relative
tour mvbridge-lab "$scratch" "$lab_dir_of_bin:$PATH" on-path
# Found on PATH, the program needs no PATH line; otherwise the tour says how to set PATH.
grep -q '^#   PATH=' "$scratch/tour.on-path" && fail "the tour of a lab on PATH tells how to set PATH"
grep -qxF "#   PATH=$lab_dir_of_bin:\$PATH" "$scratch/tour.absolute" ||
    fail "the tour does not say how to set PATH: $(grep -m 1 '^#   PATH' "$scratch/tour.absolute")"

# Without --lab, the lab of an existing build: this one when it is build/release's, or
# build/default's without a build/release.
root=$(dirname "$(dirname "$demo")")
if [[ $lab_bin == "$root/build/release/lab/mvbridge-lab" ||
    ($lab_bin == "$root/build/default/lab/mvbridge-lab" && ! -x $root/build/release/lab/mvbridge-lab) ]]; then
    (cd "$scratch" && bash "$demo") >"$scratch/tour.built" 2>"$scratch/tour.built.err" ||
        fail "the tour without --lab failed: $(tail -n 3 "$scratch/tour.built.err")"
    grep -qxF "#   PATH=$lab_dir_of_bin:\$PATH" "$scratch/tour.built" ||
        fail "the tour without --lab did not use $lab_bin: $(grep -m 1 '^#   PATH' "$scratch/tour.built")"
    grep -q '^building\|default preset' "$scratch/tour.built" "$scratch/tour.built.err" &&
        fail "the tour without --lab made a new build"
fi

# Pasting: the tour's $ lines, run one after the other by bash in another directory, with
# PATH as the tour says and LAB a new directory. What they print must be what the tour
# showed, but for the lab's own path (shown by `show`), the firmware update's progress
# line (timed in real time) and the tour's comments and blank lines.
replay=$scratch/replay
mkdir -p "$replay/elsewhere"
{
    echo 'set -u'
    sed -n 's/^#   \(PATH=.*\)$/\1/p' "$scratch/tour.absolute"
    printf 'LAB=%q\n' "$replay/lab"
    while IFS= read -r line; do
        [[ $line == '$ '* ]] || continue
        printf 'printf "%%s\\n" %q\n' "$line"
        printf '%s\n' "${line#'$ '}"
    done <"$scratch/tour.absolute"
} >"$replay/script.sh"
(cd "$replay/elsewhere" && env -i HOME="$HOME" PATH="/usr/bin:/bin" bash "$replay/script.sh") \
    >"$replay/out" 2>"$replay/err" || fail "the pasted lines failed: $(tail -n 3 "$replay/err")"
[[ ! -s $replay/err ]] || fail "the pasted lines wrote on standard error: $(head -n 3 "$replay/err")"

# The lines to compare: no comments, no blank lines, the lab's path as LAB, no progress.
comparable() {
    sed -e "s#$2#LAB#g" -e 's/udpate progress: [0-9]*%//g' -e 's/\r//g' "$1" | grep -v -e '^#' -e '^[[:space:]]*$'
}
commands=$(grep -c '^\$ ' "$scratch/tour.absolute")
[[ $commands -gt 90 ]] || fail "only $commands command lines in the tour"
if ! diff <(comparable "$scratch/tour.absolute" "$kept") <(comparable "$replay/out" "$replay/lab") >"$scratch/diff"; then
    fail "the pasted lines print another thing than the tour: $(head -n 20 "$scratch/diff")"
fi
# The words the shell makes of the pasted lines: Windows paths, patterns and texts intact.
grep -qF "run query '\\\\.\\PhysicalDrive1'" "$scratch/tour.absolute" || fail "no query of a Windows path in the tour"
grep -qxF '\\.\PhysicalDrive1 Morvelt USB3 NVMe Bridge' "$replay/out" || fail "the pasted query found no bridge"

if [[ $failures -eq 0 ]]; then
    echo "demo: the usage, three ways to name the lab and $commands pasted command lines checked"
fi
exit $((failures != 0))
