"""The fleet update example against a lab of eight bridges, one of which cannot be updated."""

import json
import os
import subprocess
import sys
from pathlib import Path

SCRIPT = Path(os.environ.get("MVBRIDGE_SOURCE_DIR", Path(__file__).parents[2])) / "examples" / "python" / "fleet_update.py"


def run_fleet(mvbridge_lab, tmp_path, *args):
    log = tmp_path / "fleet.json"
    done = subprocess.run(
        [sys.executable, str(SCRIPT), "--lab", str(mvbridge_lab.directory), "--log", str(log), *args],
        capture_output=True,
        text=True,
        timeout=120,
    )
    return done, json.loads(log.read_text()) if log.exists() else None


def test_eight_bridges_one_failing(mvbridge_lab, tmp_path):
    paths = [mvbridge_lab.nvme_bridge(uuid=f"0x{0xF1EE0 + i:08x}") for i in range(8)]
    failing = paths[5]
    mvbridge_lab.fault(mvbridge_lab.name_of(failing), "E3 .. .. .. 11", status=2, sense="03/0C/00")
    main, rescue = mvbridge_lab.images(version="5.0.2")

    done, log = run_fleet(mvbridge_lab, tmp_path, "--main", main, "--rescue", rescue, "--plain")
    assert done.returncode == 1, done.stderr
    lines = done.stdout.splitlines()
    assert lines[-1] == "7 of 8 bridges updated"
    header = next(i for i, line in enumerate(lines) if line.startswith("PATH"))
    rows = [line.split() for line in lines[header + 1 : header + 9]]
    assert [row[0] for row in rows] == paths
    for path, row in zip(paths, rows):
        uuid = f"{0xF1EE0 + paths.index(path):08x}"
        if path == failing:
            assert row[1:5] == [uuid, "1.4.2", "-", "fwupdate"]
            assert " ".join(row[4:]).startswith("fwupdate failed. (-")
        else:
            assert row[1:5] == [uuid, "1.4.2", "5.0.2", "ok"]
    # Plain progress lines: each bridge reached 100 % but the failing one.
    for path in paths:
        assert (f"{path}: 100%" in lines) == (path != failing)

    assert [entry["path"] for entry in log["bridges"]] == paths
    assert [entry["ok"] for entry in log["bridges"]] == [path != failing for path in paths]
    assert log["bridges"][0]["new_version"] == "5.0.2" and log["main"] == main
    assert log["bridges"][5]["result"].startswith("fwupdate failed.")


def test_a_given_list_and_a_clean_run_exit_zero(mvbridge_lab, tmp_path):
    paths = [mvbridge_lab.nvme_bridge() for _ in range(3)]
    main, rescue = mvbridge_lab.images(version="5.1.0")
    done, log = run_fleet(mvbridge_lab, tmp_path, "--main", main, "--rescue", rescue, paths[2], paths[0])
    assert done.returncode == 0, done.stdout + done.stderr
    assert [entry["path"] for entry in log["bridges"]] == [paths[2], paths[0]]
    with mvbridge_lab.open(paths[1]) as untouched:
        assert str(untouched.fw_version) == "1.4.2"


def test_no_bridges_is_a_failure(mvbridge_lab, tmp_path):
    done, log = run_fleet(mvbridge_lab, tmp_path, "--main", "m", "--rescue", "r")
    assert (done.returncode, done.stderr, log) == (1, "no bridges found\n", None)
