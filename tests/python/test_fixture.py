"""The mvbridge_lab fixture: a fresh lab per test and a helper for each kind of device."""



def test_each_test_gets_a_fresh_lab(mvbridge_lab, tmp_path):
    assert mvbridge_lab.directory == (tmp_path / "lab").resolve()
    assert (mvbridge_lab.directory / "lab.conf").is_file()
    assert mvbridge_lab.scan(keep_diskless=True) == []


def test_helpers_make_each_kind_under_the_next_name(mvbridge_lab):
    nvme = mvbridge_lab.nvme_bridge()
    sata = mvbridge_lab.sata_bridge()
    diskless = mvbridge_lab.diskless_bridge()
    raid = mvbridge_lab.raid_bridge()
    foreign = mvbridge_lab.foreign_disk()
    cdrom = mvbridge_lab.cdrom_of(nvme)
    assert [nvme, sata, diskless, raid, foreign] == [f"\\\\.\\PhysicalDrive{i}" for i in range(5)]
    assert cdrom == "\\\\.\\c:"

    with mvbridge_lab.open(nvme) as bridge:
        assert bridge.disk_status.disk_type == 0
    with mvbridge_lab.open(sata) as bridge:
        assert bridge.disk_status.disk_type == 1
        assert bridge.name == "Morvelt USB3 SATA Bridge"
    with mvbridge_lab.open(raid) as bridge:
        assert bridge.raid_mode == 0
    with mvbridge_lab.open(foreign) as bridge:
        assert bridge.generation == -1
    with mvbridge_lab.open(cdrom) as bridge:
        assert bridge.name.startswith("Morvelt USB CD-ROM")
    assert [found.path for found in mvbridge_lab.scan(keep_diskless=True)][:4] == [nvme, sata, diskless, raid]


def test_images_update_a_bridge_to_their_version(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge(uuid="0x00C0FFEE")
    main, rescue = mvbridge_lab.images(version="4.1.7")
    assert mvbridge_lab.images(version="4.1.7") == (main, rescue)
    progress = []
    with mvbridge_lab.open(path) as bridge:
        assert str(bridge.fw_version) == "1.4.2"
        bridge.fw_update(main, rescue, progress=lambda written, total: progress.append((written, total)))
        assert bridge.closed
    assert progress and progress[-1][0] == progress[-1][1] > 0
    assert all(a[0] <= b[0] for a, b in zip(progress, progress[1:]))
    (found,) = mvbridge_lab.scan()
    with mvbridge_lab.open(found.path) as bridge:
        assert bridge.uuid == 0x00C0FFEE
        assert bridge.fw_version.major == 4 and str(bridge.fw_version) == "4.1.7"
