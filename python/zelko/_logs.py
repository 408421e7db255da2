"""Decoded forms of the pages and records the bridge hands back as bytes."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Tuple


def _le(data: bytes, offset: int, length: int) -> int:
    return int.from_bytes(data[offset : offset + length], "little")


@dataclass(frozen=True)
class SmartLog:
    """The NVMe SMART / Health Information log (log page 02h).

    Temperatures are in kelvin; the 128-bit counters are whole Python ints. Data units
    are thousands of 512-byte units, as the disk counts them.
    """

    critical_warning: int
    temperature: int
    available_spare: int
    available_spare_threshold: int
    percentage_used: int
    data_units_read: int
    data_units_written: int
    host_read_commands: int
    host_write_commands: int
    controller_busy_time: int
    power_cycles: int
    power_on_hours: int
    unsafe_shutdowns: int
    media_errors: int
    error_log_entries: int
    warning_temp_time: int
    critical_temp_time: int
    temperature_sensors: Tuple[int, ...]

    @classmethod
    def from_bytes(cls, page: bytes) -> "SmartLog":
        if len(page) < 512:
            raise ValueError("a SMART / Health log is 512 bytes")
        counters = [_le(page, 32 + 16 * i, 16) for i in range(10)]
        return cls(
            critical_warning=page[0],
            temperature=_le(page, 1, 2),
            available_spare=page[3],
            available_spare_threshold=page[4],
            percentage_used=page[5],
            data_units_read=counters[0],
            data_units_written=counters[1],
            host_read_commands=counters[2],
            host_write_commands=counters[3],
            controller_busy_time=counters[4],
            power_cycles=counters[5],
            power_on_hours=counters[6],
            unsafe_shutdowns=counters[7],
            media_errors=counters[8],
            error_log_entries=counters[9],
            warning_temp_time=_le(page, 192, 4),
            critical_temp_time=_le(page, 196, 4),
            temperature_sensors=tuple(_le(page, 200 + 2 * i, 2) for i in range(8)),
        )


@dataclass(frozen=True)
class FwVersion:
    """The bridge's firmware version words; ``str()`` gives ``major.minor.patch``."""

    major: int
    minor: int
    patch: int
    reserved: int
    build_date: int

    def __str__(self) -> str:
        return f"{self.major}.{self.minor}.{self.patch}"


@dataclass(frozen=True)
class Link:
    """A PCIe link: speed as the generation number, width in lanes."""

    generation: int
    width: int


@dataclass(frozen=True)
class DiskIdent:
    """Model, serial number and firmware revision of the disk behind a bridge."""

    model: str
    serial: str
    firmware: str


@dataclass(frozen=True)
class DiskStatus:
    """The bridge's disk status: type 0 NVMe, 1 SATA; state 1 and 3 a usable disk."""

    disk_type: int
    disk_state: int
    pcie_link: int


@dataclass(frozen=True)
class BridgeInfo:
    """One bridge a scan found."""

    path: str
    name: str
    model: str
    serial: str
    firmware: str
