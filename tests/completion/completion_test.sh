#!/usr/bin/env bash
# Drives the generated bash completions as bash does: COMP_WORDS and COMP_CWORD set, the
# completion function called, COMPREPLY compared.
# Usage: completion_test.sh COMPLETIONS_DIR MVBRIDGE_LAB
set -u
completions=$1
lab_program=$2
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=/dev/null
source "$completions/mvbridge"
# shellcheck source=/dev/null
source "$completions/mvbridge-lab"

# expect FUNCTION "EXPECTED WORDS" WORD...: the last WORD is the one being completed.
expect() {
    local function=$1 expected=$2
    shift 2
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function"
    local got="${COMPREPLY[*]}"
    if [[ "$got" != "$expected" ]]; then
        echo "FAIL: $* -> '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}

# mvbridge: command words, device nodes, the report level as the last word.
_mvbridge_dev_dir=$work/dev
mkdir -p "$work/dev"
touch "$work/dev/sda" "$work/dev/sda1" "$work/dev/sdb" "$work/dev/sr0" "$work/dev/sg1" "$work/dev/tty0"
expect _mvbridge "nvme_get_id nvme_get_smart_log nvme_get_log nvme_get_temp_thres" mvbridge nvme_g
expect _mvbridge "scan" mvbridge sca
expect _mvbridge "raid_set_mode raid_get_mode" mvbridge raid
expect _mvbridge "$work/dev/sda $work/dev/sdb $work/dev/sr0 $work/dev/sg1" mvbridge query ""
expect _mvbridge "$work/dev/sr0" mvbridge get_uuid "$work/dev/sr"
expect _mvbridge "-d-1 -d0 -d1 -d2 -d3 -d4" mvbridge query /dev/sdb ""
expect _mvbridge "-d2" mvbridge fw_restart /dev/sdb 0 -d2
expect _mvbridge "" mvbridge fw_restart /dev/sdb ""
expect _mvbridge "-d-1" mvbridge scan -d-
expect _mvbridge "" mvbridge get_api_ver /dev/sdb ""
expect _mvbridge "help" mvbridge help hel
expect _mvbridge "" mvbridge help scan ""
expect _mvbridge "" mvbridge no_such_command ""

# mvbridge-lab: verbs, device names and keys asked from the lab.
lab=$work/lab
"$lab_program" "$lab" create PhysicalDrive1 >/dev/null || { echo "FAIL: cannot create a lab"; exit 1; }
"$lab_program" "$lab" create c --cdrom-of PhysicalDrive1 >/dev/null || { echo "FAIL: cannot create a volume"; exit 1; }
expect _mvbridge_lab "create" "$lab_program" "$lab" cr
expect _mvbridge_lab "init create show fill load set fault restart trace run serve mkimage mkled help" "$lab_program" "$lab" ""
expect _mvbridge_lab "PhysicalDrive1 c lab" "$lab_program" "$lab" set ""
expect _mvbridge_lab "uuid uuid_cmd" "$lab_program" "$lab" set PhysicalDrive1 uu
expect _mvbridge_lab "on off" "$lab_program" "$lab" set lab trace ""
expect _mvbridge_lab "PhysicalDrive1" "$lab_program" "$lab" restart ""
expect _mvbridge_lab "PhysicalDrive1" "$lab_program" "$lab" serve ""
expect _mvbridge_lab "--usbredir" "$lab_program" "$lab" serve PhysicalDrive1 ""
expect _mvbridge_lab "PhysicalDrive2" "$lab_program" "$lab" create PhysicalDrive2
expect _mvbridge_lab "nvme sata none" "$lab_program" "$lab" create PhysicalDrive2 --disk ""
expect _mvbridge_lab "faults flash flash_pg" "$lab_program" "$lab" show PhysicalDrive1 f
expect _mvbridge_lab "media" "$lab_program" "$lab" fill PhysicalDrive1 m
expect _mvbridge_lab "media" "$lab_program" "$lab" load PhysicalDrive1 m
expect _mvbridge_lab "--color --svg" "$lab_program" "$lab" show PhysicalDrive1 leds ""
expect _mvbridge_lab "auto always never" "$lab_program" "$lab" show PhysicalDrive1 leds --color ""
expect _mvbridge_lab "'\\\\.\\PhysicalDrive1' '\\\\.\\c:'" "$lab_program" "$lab" run get_uuid ""
expect _mvbridge_lab "'\\\\.\\PhysicalDrive1'" "$lab_program" "$lab" run get_uuid "'\\\\.\\P"
expect _mvbridge_lab "-d-1 -d0 -d1 -d2 -d3 -d4" "$lab_program" "$lab" run --as x scan ""
expect _mvbridge_lab "init create show fill load set fault restart trace run serve mkimage mkled help" "$lab_program" "$work/no-lab" ""
expect _mvbridge_lab "" "$lab_program" "$work/no-lab" show ""

if [[ $failures -ne 0 ]]; then
    echo "$failures completion case(s) failed"
    exit 1
fi
echo "all completion cases passed"
