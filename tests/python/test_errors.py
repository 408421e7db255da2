"""DeviceError: the result record of the failing request and the tool's line, for each way
a request can fail, and for a failed firmware update."""

import pytest

import zelko

FW_VERSION_BLOCK = "E2 .. .. .. A5"


@pytest.mark.parametrize(
    "fault, status, category, description",
    [
        ({"status": 2, "sense": "05/24/00"}, 2, "check_condition", "CHECK CONDITION 05/24/00 invalid field in command block"),
        ({"status": 8}, 8, "scsi_status", "BUSY"),
        ({"os_error": 5}, 5, "os_error", "OS error 5"),
        ({"os_error": 121}, 121, "time_out", "time-out (OS error 121)"),
        ({"short": 4}, -1, "short_answer", "short answer: 4 of 20 bytes"),
    ],
)
def test_a_failed_request_carries_its_record_and_the_tools_line(mvbridge_lab, fault, status, category, description):
    path = mvbridge_lab.nvme_bridge()
    mvbridge_lab.fault(mvbridge_lab.name_of(path), FW_VERSION_BLOCK, **fault)
    with mvbridge_lab.open(path) as bridge:
        with pytest.raises(zelko.DeviceError) as raised:
            bridge.fw_version
        # The bridge stays usable after the failure.
        assert bridge.uuid != 0
    error = raised.value
    assert (error.status, error.category, error.result.description) == (status, category, description)
    assert error.line == "fw_ver fail" == mvbridge_lab.run("fw_ver", path).strip()
    assert str(error) == f"fw_ver fail: {description}"
    if category == "check_condition":
        assert error.scsi_status == 2
        assert len(error.sense) == 18 and error.sense[2] & 0x0F == 5 and error.sense[12] == 0x24
        assert (error.result.sense_key, error.result.asc, error.result.ascq) == (5, 0x24, 0)
    if category in ("os_error", "time_out"):
        assert error.os_error == status


def test_a_general_failure_is_sent_again_and_succeeds(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge()
    mvbridge_lab.fault(mvbridge_lab.name_of(path), FW_VERSION_BLOCK, os_error=31, first=3)
    with mvbridge_lab.open(path) as bridge:
        assert str(bridge.fw_version) == "1.4.2"
        assert bridge.last_result() == (0, "good", "GOOD")


def test_a_failure_the_library_finds_after_a_good_request_says_so(mvbridge_lab, tmp_path):
    path = mvbridge_lab.nvme_bridge()
    with mvbridge_lab.open(path) as bridge:
        # An erased PG sector holds no valid record: the read went well, the walk refuses it.
        with pytest.raises(zelko.DeviceError) as raised:
            bridge.serial
    error = raised.value
    assert (error.status, error.category) == (-1, "good")
    assert error.line == "pg_get_sn failed. (-1)" == mvbridge_lab.run("pg_get_sn", path).strip()
    assert str(error) == "pg_get_sn failed. (-1): status -1 after GOOD"
    lines = {}
    with mvbridge_lab.open(path) as bridge:
        for name, command in (("vid", "pg_get_vid"), ("pid", "pg_get_pid"), ("pg_usb_speed", "pg_get_usb_speed")):
            with pytest.raises(zelko.DeviceError) as raised:
                getattr(bridge, name)
            lines[command] = raised.value.line
    # The tool runs once the bridge is closed: an open bridge holds the device, as on a host.
    for command, line in lines.items():
        assert line == mvbridge_lab.run(command, path).strip()


def test_a_failed_firmware_update_raises_with_the_tools_line(mvbridge_lab):
    failing = mvbridge_lab.nvme_bridge()
    same = mvbridge_lab.nvme_bridge()
    for path in (failing, same):
        mvbridge_lab.fault(mvbridge_lab.name_of(path), "E3 .. .. .. 11", status=2, sense="03/0C/00")
    main, rescue = mvbridge_lab.images()
    seen = []
    with pytest.raises(zelko.DeviceError) as raised:
        mvbridge_lab.open(failing).fw_update(main, rescue, progress=lambda written, total: seen.append(total))
    error = raised.value
    assert error.status < 0
    assert error.line == f"fwupdate failed. ({error.status})"
    assert error.result.description == zelko._bridge.FW_UPDATE_STEPS[error.status]
    tool = mvbridge_lab.run("fwupdate", same, main, rescue, "", "")
    assert tool.splitlines()[-1] == error.line


def test_an_exception_in_the_progress_callback_comes_after_the_update(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge()
    main, rescue = mvbridge_lab.images(version="2.5.0")

    def refuse(written, total):
        raise KeyError("stop")

    with pytest.raises(KeyError):
        mvbridge_lab.open(path).fw_update(main, rescue, progress=refuse)
    # The update was not broken off: the bridge runs the new firmware.
    path = mvbridge_lab.scan()[0].path
    with mvbridge_lab.open(path) as bridge:
        assert str(bridge.fw_version) == "2.5.0"
