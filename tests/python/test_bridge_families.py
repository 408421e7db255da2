"""Each family's operations through a lab bridge, checked against the lab's own view of
the device or against what the console tool prints for the same device."""

import time

import pytest

import zelko


def test_information_and_control(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge(fw_major=3, fw_minor=2, fw_patch=1, fw_build_date=20250102, usb_speed=5)
    with mvbridge_lab.open(path) as bridge:
        assert bridge.name == "Morvelt USB3 NVMe Bridge"
        assert bridge.fw_version == zelko.FwVersion(3, 2, 1, 0, 20250102)
        assert str(bridge.fw_version) == "3.2.1"
        assert bridge.usb_speed == 5
        assert bridge.ips_threshold == 85
        assert len(bridge.status_block) == 128

        assert bridge.cust_page == b"\xff" * 4096
        bridge.cust_page = b"line 7 station 3"
        assert bridge.cust_page == b"line 7 station 3" + bytes(4096 - 16)
        with pytest.raises(ValueError):
            bridge.cust_page = bytes(4097)

        power_on = (bridge.disk_speed, bridge.rw_mode)
        bridge.disk_speed = 1
        assert bridge.disk_speed == 1
        bridge.rw_mode = 1
        assert bridge.rw_mode == 1
        with pytest.raises(ValueError):
            bridge.disk_speed = 4
        bridge.restart(0)
    with mvbridge_lab.open(path) as bridge:
        # A restart puts back the power-on disk speed and read/write mode.
        assert (bridge.disk_speed, bridge.rw_mode) == power_on
        assert bridge.disk == zelko.DiskIdent("LNV-3000 NVMe SSD 1TB", "LAB2304NV0001", "3B2QLAB1")


def test_pins_serial_port_and_raid(mvbridge_lab):
    path = mvbridge_lab.raid_bridge()
    name = mvbridge_lab.name_of(path)
    mvbridge_lab.set(name, "gpio_in", "10=1,11=0")
    mvbridge_lab.set(name, "uart_rx", "hello\r\n")
    with mvbridge_lab.open(path) as bridge:
        bridge.i2c_init(0, 0x50, 3, 4)
        bridge.i2c_write(0, 0x50, b"\x10\xde\xad\xbe")
        assert bridge.i2c_read(0, 0x50, 3, write_byte=0x10) == b"\xde\xad\xbe"
        with pytest.raises(zelko.DeviceError) as nobody:
            bridge.i2c_read(0, 0x51, 1)
        assert nobody.value.line == "i2c_read fail"
        assert (nobody.value.result.sense_key, nobody.value.result.asc) == (0x0B, 0x08)

        bridge.gpio_init(10, output=False)
        assert bridge.gpio_get(10) == 1
        bridge.gpio_init(5, output=True)
        bridge.gpio_set(5, 1)
        assert bridge.gpio_get(5) == 1

        bridge.uart_init(7, 115200)
        assert bridge.uart_rx_count() == 7
        assert bridge.uart_rx() == b"hello\r\n"
        bridge.uart_tx(b"AT\r", 115200, tx_pin=6)

        assert bridge.raid_mode == 0
        bridge.raid_mode = 2
    assert "uart_tx" in mvbridge_lab.show(name, "pins")


def test_pcie_function_and_link(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge(pcie_gen=2, pcie_width=2)
    with mvbridge_lab.open(path) as bridge:
        assert bridge.link_status == zelko.Link(2, 2)
        assert bridge.link_capability == zelko.Link(4, 4)
        header = bridge.pcie_read_conf(0, 64)
        assert len(header) == 64 and header[:2] != b"\xff\xff"
        assert bridge.pcie_read_conf(0, 4) == header[:4]
        # More than 4096 bytes of memory space runs with the transfer flag cleared.
        registers = bridge.pcie_read_mem(0xFE000000, 8192)
        assert len(registers) == 8192


def test_sata_smart_and_its_report(mvbridge_lab):
    path = mvbridge_lab.sata_bridge()
    with mvbridge_lab.open(path) as bridge:
        data = bridge.ata_smart()
        bridge.ata_set_feature(0x02)
    assert len(data) == 512
    tool = mvbridge_lab.run("ata_get_smart_log", path)
    assert zelko.ata_smart_report(data) in tool


def test_nvme_disk(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge(nvme_temperature=318, nvme_critical_warning=2, nvme_temp_threshold=350)
    with mvbridge_lab.open(path) as bridge:
        log = bridge.nvme_smart_log()
        assert (log.temperature, log.critical_warning, log.available_spare) == (318, 2, 100)
        assert bridge.nvme_temp_threshold == 350

        bridge.nvme_write(8, bytes(range(256)) * 4)
        assert bridge.nvme_read(8, 1024) == bytes(range(256)) * 4
        assert bridge.nvme_read(10, 512) == bytes(512)
        assert bridge.nvme_smart_log().host_write_commands == log.host_write_commands + 1
        with pytest.raises(ValueError):
            bridge.nvme_read(0, 100)

        bridge.nvme_rw_test()
        bridge.nvme_set_cmd_timeout(30)
        bridge.nvme_disable_low_power()
        identify = bridge.nvme_identify()
        raw_log = bridge.nvme_smart_log_raw()
    assert b"LNV-3000" in identify[24:64]
    # The reports are the tool's own, byte for byte.
    assert mvbridge_lab.run("nvme_get_smart_log", path).endswith(zelko.smart_log_report(raw_log))
    assert zelko.id_ctrl_report(identify) in mvbridge_lab.run("nvme_get_id", path)


def test_pg_record(mvbridge_lab, tmp_path):
    from pathlib import Path
    import os

    config = Path(os.environ.get("MVBRIDGE_SOURCE_DIR", Path(__file__).parents[2])) / "examples" / "pg.conf"
    path = mvbridge_lab.nvme_bridge()
    with mvbridge_lab.open(path) as bridge:
        # A new bridge's PG sector is erased: no serial can be edited into it.
        with pytest.raises(zelko.DeviceError) as erased:
            bridge.serial = "X"
        assert erased.value.line == "set sn fail" and erased.value.status == -1
        bridge.pg_write_config(str(config))
        info = bridge.pg_info()
        assert (info["VID"], info["PID"], info["PRODUCT"]) == (0x1D6B, 0x0104, "Morvelt Portable SSD")
        bridge.serial = "LINE7-0001"
        bridge.vid, bridge.pid = 0x1234, 0xABCD
        assert (bridge.serial, bridge.vid, bridge.pid) == ("LINE7-0001", 0x1234, 0xABCD)
        with pytest.raises(ValueError):
            bridge.serial = "x" * 31
        record = bridge.pg_record()
        bridge.pg_usb_speed = 2
        assert bridge.pg_usb_speed == 2
        bridge.pg_commit(record)
        assert bridge.pg_record() == record
    assert zelko.decode_pg_record(record)["SERIAL"] == "LINE7-0001"
    assert mvbridge_lab.run("pg_read", path) == zelko.pg_report(record)


def test_leds(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge()
    with mvbridge_lab.open(path) as bridge:
        assert bridge.led_count == 8
        assert bridge.led_argb_support == 1
        assert len(bridge.led_memory()) == 16384
        bridge.led_set(1, 3, "cycle", 500)
        assert bridge.led_get(1, 3, "cycle") == 500
        bridge.led_set_color(2, 0, 4, (1, 2, 3))
        assert bridge.led_get_color(2, 0, 4) == (1, 2, 3)
        bridge.led_brightness = 77
        assert bridge.led_brightness == 77
        bridge.led_app_ctl = True
        assert bridge.led_app_ctl
        bridge.led_set_rgb_direct([(255, 0, 0), (0, 255, 0)])
        with pytest.raises(zelko.DeviceError) as out_of_range:
            bridge.led_get(0, 8, "mode")
        assert out_of_range.value.line == "led_get_mode fail"
        with pytest.raises(ValueError):
            bridge.led_get(0, 0, "speed")
        bridge.led_set_effect("blink", 0x00FF00, 400)
        assert bridge.led_get(0, 7, "cycle") == 400
        with pytest.raises(ValueError):
            bridge.led_set_effect("sparkle")
    # An effect that needs more LEDs than the string has fails as the tool's command does.
    mvbridge_lab.set(mvbridge_lab.name_of(path), "led_count", 3)
    with mvbridge_lab.open(path) as bridge:
        with pytest.raises(zelko.DeviceError) as too_few:
            bridge.led_set_effect("newton_cradle", cycle=100)
    assert too_few.value.line == mvbridge_lab.run("led_set_eff_newton_cradle", path, 100).strip()
    mvbridge_lab.set(mvbridge_lab.name_of(path), "led_count", 8)
    with mvbridge_lab.open(path) as bridge:
        bridge.led_set(1, 3, "cycle", 500)
    # The tool sees what the module wrote.
    assert mvbridge_lab.run("led_get_cycle", path, 1, 3).endswith("cycle time = 500ms\n")


def test_hex_dump_is_the_tools():
    text = zelko.hex_dump(bytes(range(20)))
    assert "00" in text and "13" in text


def test_nvme_firmware_download_commit_and_sanitize(mvbridge_lab, tmp_path):
    path = mvbridge_lab.nvme_bridge()
    image = tmp_path / "disk-fw.bin"
    image.write_bytes(b"NEWREV01" + bytes(range(256)) * 48)
    with mvbridge_lab.open(path) as bridge:
        bridge.nvme_fw_download(str(image), xfer_size=4096)
        bridge.nvme_fw_commit(2, 3)  # into slot 2, activated at once
        assert bridge.nvme_identify()[64:72] == b"NEWREV01"

        bridge.nvme_write(0, b"\xaa" * 512)
        bridge.nvme_sanitize_start(2)  # block erase
        # Lab time runs 1000 times faster: the 3 s sanitize takes 3 ms.
        for _ in range(200):
            sstat = int.from_bytes(bridge.nvme_sanitize_log()[2:4], "little") & 0x7
            if sstat != 2:
                break
            time.sleep(0.005)
        assert sstat == 1
        assert bridge.nvme_read(0, 512) == bytes(512)
        with pytest.raises(ValueError):
            bridge.nvme_sanitize_start(7)
        bridge.nvme_format(1, 0)
    assert "Sanitize" in zelko.sanitize_log_report(bridge_log(mvbridge_lab, path))


def bridge_log(lab, path):
    with lab.open(path) as bridge:
        return bridge.nvme_sanitize_log()
