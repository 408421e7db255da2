"""The bridge object: every family's operations on one opened device path."""

from __future__ import annotations

from types import ModuleType
from typing import Any, Callable, Dict, List, Optional, Tuple

from ._logs import BridgeInfo, DiskIdent, DiskStatus, FwVersion, Link, SmartLog

# Offsets of the words used from the 128-byte status block.
_STATUS_USB_SPEED = 20
_STATUS_IPS_THRESHOLD = 64
# PG record tags of the values with their own accessors.
_TAG_VID = 3
_TAG_PID = 4
_TAG_USB_SPEED = 27

ProgressCallback = Callable[[int, int], Any]

# The steps a firmware update fails at, by its result code.
FW_UPDATE_STEPS = {
    -1: "the bridge did not open",
    -3: "write unlock failed",
    -4: "the bridge did not come back after a restart",
    -5: "UUID read failed",
    -6: "main image check failed",
    -7: "rescue image check failed",
    -8: "LED image check failed",
    -9: "configuration file check failed",
    -10: "main image write failed",
    -11: "rescue image write failed",
    -12: "LED image write failed",
    -13: "configuration write failed",
    -14: "the bridge did not start its rescue firmware",
    -15: "the bridge did not start its main firmware",
}


class Bridge:
    """An opened bridge. Use it as a context manager, or call :meth:`close`.

    Every method sends its requests with the GIL released, so threads can drive several
    bridges at once; a failure raises :class:`zelko.DeviceError`.
    """

    def __init__(self, backend: ModuleType, path: str, on_close: Optional[Callable[[], None]] = None) -> None:
        self._backend = backend
        self._dev = backend.open_device(path)
        self._on_close = on_close

    # Life cycle.
    def __enter__(self) -> "Bridge":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<zelko.Bridge {self.path!r}{' closed' if self.closed else ''}>"

    @property
    def path(self) -> str:
        """The device path the bridge was opened on."""
        return self._dev.path

    @property
    def closed(self) -> bool:
        return self._dev.closed

    def close(self) -> None:
        """Closes the device path; further operations raise DeviceError."""
        if not self._dev.closed:
            self._dev.close()
            if self._on_close is not None:
                self._on_close()

    def last_result(self) -> Tuple[int, str, str]:
        """(status, category, description) of the last request sent."""
        return self._dev.last_result()

    # Identity.
    @property
    def name(self) -> str:
        """The bridge's vendor and product identification."""
        return self._dev.bridge_name()

    @property
    def generation(self) -> int:
        """0 or 1 for a bridge; -1 for any other device."""
        return self._dev.generation()

    @property
    def disk_status(self) -> DiskStatus:
        return DiskStatus(*self._dev.disk_status())

    @property
    def disk(self) -> DiskIdent:
        """Model, serial and firmware of the disk behind the bridge (IDENTIFY DEVICE)."""
        return DiskIdent(*(text.rstrip() for text in self._dev.disk_ident()))

    # Information and control.
    @property
    def uuid(self) -> int:
        return self._dev.uuid()

    @property
    def fw_version(self) -> FwVersion:
        return FwVersion(*self._dev.fw_version())

    @property
    def cust_page(self) -> bytes:
        """The 4096-byte customer page; setting it writes the bytes given, zeros after."""
        return self._dev.get_cust_page()

    @cust_page.setter
    def cust_page(self, data: bytes) -> None:
        self._dev.set_cust_page(bytes(data))

    def restart(self, kind: int = 0) -> None:
        """Restarts the bridge (type 0 to 2); it drops off the bus meanwhile."""
        self._dev.restart(kind)

    @property
    def disk_speed(self) -> int:
        return self._dev.get_disk_speed()

    @disk_speed.setter
    def disk_speed(self, speed: int) -> None:
        self._dev.set_disk_speed(speed)

    @property
    def rw_mode(self) -> int:
        """0 normal, 1 write-protect, 2 format."""
        return self._dev.get_rw_mode()

    @rw_mode.setter
    def rw_mode(self, mode: int) -> None:
        self._dev.set_rw_mode(mode)

    @property
    def status_block(self) -> bytes:
        return self._dev.status_block()

    @property
    def usb_speed(self) -> int:
        """The USB speed code of the status block."""
        return int.from_bytes(self.status_block[_STATUS_USB_SPEED : _STATUS_USB_SPEED + 4], "little")

    @property
    def ips_threshold(self) -> int:
        return int.from_bytes(self.status_block[_STATUS_IPS_THRESHOLD : _STATUS_IPS_THRESHOLD + 4], "little")

    def disable_disk_hotplug(self) -> None:
        self._dev.disable_hotplug()

    # Pins.
    def i2c_init(self, bus: int, slave: int, scl: int, sda: int) -> None:
        self._dev.i2c_init(bus, slave, scl, sda)

    def i2c_write(self, bus: int, slave: int, data: bytes) -> None:
        self._dev.i2c_write(bus, slave, bytes(data))

    def i2c_read(self, bus: int, slave: int, length: int, write_byte: Optional[int] = None) -> bytes:
        """Reads ``length`` bytes, first writing ``write_byte`` when given."""
        return self._dev.i2c_read(bus, slave, length, write_byte)

    def gpio_init(self, gpio: int, output: bool) -> None:
        self._dev.gpio_init(gpio, 1 if output else 0)

    def gpio_set(self, gpio: int, value: int) -> None:
        self._dev.gpio_set(gpio, value)

    def gpio_get(self, gpio: int) -> int:
        return self._dev.gpio_get(gpio)

    # Serial port and RAID.
    def uart_init(self, rx_pin: int, baud: int) -> None:
        self._dev.uart_init(rx_pin, baud)

    def uart_tx(self, data: bytes, baud: int, tx_pin: Optional[int] = None) -> None:
        self._dev.uart_tx(bytes(data), baud, tx_pin)

    def uart_rx_count(self) -> int:
        return self._dev.uart_rx_count()

    def uart_rx(self, count: int = 1024) -> bytes:
        return self._dev.uart_rx(count)

    def uart_clear(self) -> None:
        self._dev.uart_clear()

    @property
    def raid_mode(self) -> int:
        """0 JBOD, 1 RAID0, 2 RAID1 (a new mode takes effect at the next restart)."""
        return self._dev.get_raid_mode()

    @raid_mode.setter
    def raid_mode(self, mode: int) -> None:
        self._dev.set_raid_mode(mode)

    # The PCIe function and the SATA disk.
    def pcie_read_conf(self, register: int, length: int) -> bytes:
        return self._dev.pcie_read_conf(register, length)

    def pcie_write_conf(self, register: int, data: bytes) -> None:
        self._dev.pcie_write_conf(register, bytes(data))

    def pcie_read_mem(self, address: int, length: int) -> bytes:
        return self._dev.pcie_read_mem(address, length)

    def pcie_write_mem(self, address: int, data: bytes) -> None:
        self._dev.pcie_write_mem(address, bytes(data))

    @property
    def link_status(self) -> Link:
        """The link as trained."""
        return Link(*self._dev.pcie_link(False))

    @property
    def link_capability(self) -> Link:
        return Link(*self._dev.pcie_link(True))

    def ata_smart(self) -> bytes:
        """The SATA disk's 512 bytes of SMART READ DATA."""
        return self._dev.ata_smart()

    def ata_set_feature(self, feature: int, count: int = 0) -> None:
        self._dev.ata_set_feature(feature, count)

    # NVMe.
    def nvme_identify(self, nsid: int = 0, cns: int = 1) -> bytes:
        """4096 bytes of Identify (the controller structure by default)."""
        return self._dev.nvme_identify(nsid, cns)

    def nvme_smart_log_raw(self) -> bytes:
        return self._dev.nvme_smart_log()

    def nvme_smart_log(self) -> SmartLog:
        return SmartLog.from_bytes(self._dev.nvme_smart_log())

    def nvme_sanitize_log(self) -> bytes:
        return self._dev.nvme_log(0x81)

    @property
    def nvme_temp_threshold(self) -> int:
        """The temperature threshold feature in kelvin."""
        return self._dev.nvme_temp_threshold()

    def nvme_set_cmd_timeout(self, seconds: int) -> None:
        self._dev.nvme_set_cmd_timeout(seconds)

    def nvme_rw_test(self) -> None:
        self._dev.nvme_rw_test()

    def nvme_disable_aspm(self) -> None:
        self._dev.nvme_disable_aspm()

    def nvme_disable_low_power(self) -> None:
        self._dev.nvme_disable_low_power()

    def nvme_set_power_state(self, state: int) -> None:
        self._dev.nvme_set_power_state(state)

    def nvme_read(self, lba: int, length: int) -> bytes:
        return self._dev.nvme_read(lba, length)

    def nvme_write(self, lba: int, data: bytes) -> None:
        self._dev.nvme_write(lba, bytes(data))

    def nvme_fw_download(self, path: str, xfer_size: int = 0, dword_offset: int = 0) -> None:
        """Sends an NVMe firmware image to the disk (Firmware Image Download) in chunks."""
        self._dev.nvme_fw_download(str(path), xfer_size, dword_offset)

    def nvme_fw_commit(self, slot: int, action: int) -> None:
        """Firmware Commit of the downloaded image into ``slot`` with commit ``action``."""
        self._dev.nvme_fw_commit(slot, action)

    def nvme_format(self, nsid: int = 1, lba_format: int = 0) -> None:
        self._dev.nvme_format(nsid, lba_format)

    def nvme_sanitize_start(
        self,
        action: int,
        no_dealloc: bool = False,
        oipbp: bool = False,
        owpass: int = 1,
        ause: bool = False,
        pattern: int = 0,
    ) -> None:
        """Starts a sanitize (2 block erase, 3 overwrite, 4 crypto erase, 1 exit failure
        mode); its progress is in :meth:`nvme_sanitize_log` (SPROG, SSTAT)."""
        self._dev.nvme_sanitize_start(action, no_dealloc, oipbp, owpass, ause, pattern)

    # The PG record.
    def pg_record(self) -> bytes:
        """The 2048 bytes of the PG record."""
        return self._dev.pg_record()

    def pg_info(self) -> Dict[str, Any]:
        """The PG record decoded: the named keys (VID, PID, PRODUCT, SERIAL, ...)."""
        return self._backend.decode_pg_record(self._dev.pg_record())

    def pg_commit(self, record: bytes) -> None:
        """Writes a whole 2048-byte record, checked by reading it back."""
        self._dev.pg_commit(bytes(record))

    def pg_write_config(self, path: str) -> None:
        """Writes the record a configuration file describes."""
        self._dev.pg_write_config(str(path))

    @property
    def serial(self) -> str:
        """The serial number in the PG record (at most 30 characters)."""
        return self._dev.pg_get_serial()

    @serial.setter
    def serial(self, text: str) -> None:
        self._dev.pg_set_serial(text)

    def _pg_word(self, tag: int, command: str) -> int:
        return int.from_bytes(self._dev.pg_get_value(tag, 2, f"{command} failed."), "little")

    @property
    def vid(self) -> int:
        return self._pg_word(_TAG_VID, "pg_get_vid")

    @vid.setter
    def vid(self, value: int) -> None:
        self._dev.pg_set_value(_TAG_VID, (value & 0xFFFF).to_bytes(2, "little"), "pg_set_vid fail")

    @property
    def pid(self) -> int:
        return self._pg_word(_TAG_PID, "pg_get_pid")

    @pid.setter
    def pid(self, value: int) -> None:
        self._dev.pg_set_value(_TAG_PID, (value & 0xFFFF).to_bytes(2, "little"), "pg_set_pid fail")

    @property
    def pg_usb_speed(self) -> int:
        return self._dev.pg_get_value(_TAG_USB_SPEED, 1, "pg_get_usb_speed failed.")[0]

    @pg_usb_speed.setter
    def pg_usb_speed(self, value: int) -> None:
        self._dev.pg_set_value(_TAG_USB_SPEED, bytes([value & 0xFF]), "pg_set_usb_speed fail")

    # LEDs.
    @property
    def led_count(self) -> int:
        return self._dev.led_count()

    def led_memory(self) -> bytes:
        """The 16 KiB LED memory image."""
        return self._dev.led_memory()

    def led_get(self, state: int, led: int, field: str) -> int:
        """An entry field: ``mode``, ``row``, ``cycle``, ``ramp`` or ``stable``."""
        return self._dev.led_get_field(state, led, field)

    def led_set(self, state: int, led: int, field: str, value: int) -> None:
        self._dev.led_set_field(state, led, field, value)

    def led_get_color(self, state: int, led: int, row: int) -> Tuple[int, int, int]:
        return self._dev.led_get_color(state, led, row)

    def led_set_color(self, state: int, led: int, row: int, rgb: Tuple[int, int, int]) -> None:
        self._dev.led_set_color(state, led, row, *rgb)

    @property
    def led_brightness(self) -> int:
        return self._dev.led_get_brightness()

    @led_brightness.setter
    def led_brightness(self, value: int) -> None:
        self._dev.led_set_brightness(value)

    def led_set_effect(self, name: str, colour: int = 0, cycle: int = 0) -> None:
        """Programs a ready-made effect on every LED of state 0: ``always_on``, ``blink``,
        ``breathe``, ``spectrum``, ``scroll``, ``rainbow_scroll``, ``running_water``,
        ``sliding``, ``newton_cradle`` or ``meteor``; ``colour`` is 0xRRGGBB, ``cycle`` in ms."""
        self._dev.led_set_effect(name, colour, cycle)

    @property
    def led_app_ctl(self) -> bool:
        return bool(self._dev.led_get_app_ctl())

    @led_app_ctl.setter
    def led_app_ctl(self, enable: bool) -> None:
        self._dev.led_set_app_ctl(bool(enable))

    @property
    def led_argb_support(self) -> int:
        return self._dev.led_argb_support()

    def led_sync_support(self, ecosystem: int) -> int:
        return self._dev.led_sync_support(ecosystem)

    def led_set_rgb_direct(self, colors: List[Tuple[int, int, int]], sync_method: int = 0) -> None:
        self._dev.led_set_rgb_direct(sync_method, bytes(v for rgb in colors for v in rgb))

    # The firmware update.
    def fw_update(
        self,
        main: str,
        rescue: str,
        config: Optional[str] = None,
        led: Optional[str] = None,
        progress: Optional[ProgressCallback] = None,
    ) -> None:
        """Updates the bridge's firmware (main and rescue images, optionally a PG
        configuration file and an LED image).

        The update closes this handle first: the bridge restarts and may come back under
        another path; open it again (by scan) afterwards. ``progress(written, total)`` is
        called on this thread as bytes reach the flash. Raises DeviceError on failure, its
        ``status`` the update's code, ``line`` the tool's "fwupdate failed. (CODE)" and
        ``result.description`` the step that failed.
        """
        path = self.path
        self.close()
        code = self._backend.fw_update(path, str(main), str(rescue), str(config or ""), str(led or ""), progress)
        if code != 0:
            from ._errors import DeviceError

            raise DeviceError(
                f"fwupdate failed. ({code})",
                code,
                {
                    "status": code,
                    "category": "not_sent",
                    "scsi_status": 0,
                    "os_error": 0,
                    "sense": bytes(18),
                    "transferred": 0,
                    "residual": 0,
                    "description": FW_UPDATE_STEPS.get(code, f"update failed ({code})"),
                },
            )


def scan_with(backend: ModuleType, keep_diskless: bool = False) -> List[BridgeInfo]:
    return [
        BridgeInfo(**{key: value.rstrip() for key, value in entry.items()}) for entry in backend.scan(keep_diskless)
    ]
