#!/usr/bin/env bash
# tools/demo as a user meets it: an unknown option prints the usage and runs nothing, and
# the tour's printed command lines, pasted into a shell, give the words the tour ran.
#   demo_test.sh TOOLS_DEMO MVBRIDGE_LAB
set -uo pipefail

demo=$1
lab_bin=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

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

# The tour on a lab program already built.
if ! bash "$demo" --lab "$lab_bin" >"$scratch/tour" 2>"$scratch/tour.err"; then
    fail "the tour failed: $(cat "$scratch/tour.err")"
fi
grep -q '^building mvbridge-lab' "$scratch/tour" && fail "the tour built although --lab was given"
[[ ! -s $scratch/tour.err ]] || fail "the tour wrote to standard error: $(head -n 3 "$scratch/tour.err")"
grep -qF '\\.\PhysicalDrive1 ' "$scratch/tour" || fail "the tour's query printed no bridge"

# Each printed command line, read back by the shell: the words every Windows path becomes.
record() { printf '%s\n' "$@" >>"$scratch/words"; }
mvbridge() { record "$@"; }
: >"$scratch/words"
lines=0
while IFS= read -r line; do
    case $line in
        '$ mvbridge '*) ;;
        '$ mvbridge-lab LAB '*) line="\$ mvbridge ${line#'$ mvbridge-lab LAB '}" ;;
        *) continue ;;
    esac
    lines=$((lines + 1))
    eval "${line#'$ '}" || fail "line does not parse: $line"
done <"$scratch/tour"
[[ $lines -gt 20 ]] || fail "only $lines command lines in the tour"
paths=0
while IFS= read -r word; do
    [[ $word == *'\'* ]] || continue
    paths=$((paths + 1))
    [[ $word =~ ^\\\\\.\\(PhysicalDrive[0-9]|[a-l]:)$ ]] || fail "a pasted path became '$word'"
done <"$scratch/words"
[[ $paths -gt 10 ]] || fail "only $paths Windows paths in the tour's command lines"
grep -qxF 'E2 .. .. .. BB' "$scratch/words" || fail "the fault pattern did not stay one word"
grep -qxF 'hi!' "$scratch/words" || fail "the UART text did not stay one word"

if [[ $failures -eq 0 ]]; then
    echo "demo: the usage and $lines pasted command lines checked"
fi
exit $((failures != 0))
