"""Finding and opening bridges: scan order and filtering, paths that do not open, the
context manager, and a closed bridge."""

import pytest

import zelko


def test_scan_finds_bridges_with_a_disk_in_path_order(mvbridge_lab):
    nvme = mvbridge_lab.nvme_bridge()
    mvbridge_lab.foreign_disk()
    diskless = mvbridge_lab.diskless_bridge()
    sata = mvbridge_lab.sata_bridge()
    mvbridge_lab.cdrom_of(nvme)

    found = mvbridge_lab.scan()
    # The same bridges, in the same order, as the tool's scan prints.
    tool_paths = [line for line in mvbridge_lab.run("scan").splitlines() if line.startswith("\\\\.\\")]
    assert [bridge.path for bridge in found] == tool_paths
    assert [bridge.path for bridge in found][:2] == [nvme, sata]
    assert found[0] == zelko.BridgeInfo(nvme, "Morvelt USB3 NVMe Bridge", "LNV-3000 NVMe SSD 1TB", "LAB2304NV0001", "3B2QLAB1")
    assert found[1].name == "Morvelt USB3 SATA Bridge"
    assert diskless not in tool_paths
    assert [bridge.path for bridge in mvbridge_lab.scan(keep_diskless=True)][:3] == [nvme, diskless, sata]


def test_scan_of_an_empty_lab_is_empty(mvbridge_lab):
    assert mvbridge_lab.scan() == []


def test_open_is_a_context_manager_that_closes(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge(uuid="0x12345678")
    with mvbridge_lab.open(path) as bridge:
        assert bridge.path == path and not bridge.closed
        assert bridge.uuid == 0x12345678
        assert bridge.generation == 1
    assert bridge.closed
    with pytest.raises(zelko.DeviceError) as closed:
        bridge.uuid
    assert closed.value.line == "device closed"
    assert closed.value.category == "not_sent"
    bridge.close()  # a second close does nothing


@pytest.mark.parametrize("path", ["\\\\.\\PhysicalDrive7", "\\\\.\\q:", "/dev/nothing", ""])
def test_a_path_that_does_not_open_raises(mvbridge_lab, path):
    mvbridge_lab.nvme_bridge()
    with pytest.raises(zelko.DeviceError) as error:
        mvbridge_lab.open(path)
    assert error.value.line == f"open {path} fail"
    assert error.value.result.category == "not_sent"


def test_the_native_module_opens_nothing_that_does_not_exist():
    with pytest.raises(zelko.DeviceError):
        zelko.open("/dev/zelko-no-such-device")
    assert isinstance(zelko.scan(), list)


def test_bridges_of_another_lab_wait_for_the_first_to_close(tmp_path):
    from zelko.lab import Lab

    first, second = Lab(tmp_path / "a"), Lab(tmp_path / "b")
    first.create("PhysicalDrive1", uuid="0x1")
    second.create("PhysicalDrive1", uuid="0x2")
    with first.open("PhysicalDrive1") as bridge:
        with pytest.raises(RuntimeError):
            second.open("PhysicalDrive1")
        assert bridge.uuid == 1
    with second.open("PhysicalDrive1") as bridge:
        assert bridge.uuid == 2


def test_a_second_open_in_the_same_thread_is_refused_not_a_hang(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge()
    with mvbridge_lab.open(path):
        with pytest.raises(RuntimeError, match="already open in this thread"):
            mvbridge_lab.open(path)
    # Once closed (and after a refused open), it opens again.
    with mvbridge_lab.open(path) as bridge:
        assert bridge.uuid
