"""zelko: the bridges of this machine from Python.

    import zelko
    for found in zelko.scan():
        with zelko.open(found.path) as bridge:
            print(found.path, hex(bridge.uuid), bridge.fw_version)

Every failed operation raises :class:`DeviceError`. The same API runs on the emulated
bridges of a lab directory: see :mod:`zelko.lab`.
"""

from __future__ import annotations

from typing import List

from . import _native
from ._bridge import Bridge, scan_with
from ._errors import DeviceError, Result
from ._logs import BridgeInfo, DiskIdent, DiskStatus, FwVersion, Link, SmartLog

__all__ = [
    "Bridge",
    "BridgeInfo",
    "DeviceError",
    "DiskIdent",
    "DiskStatus",
    "FwVersion",
    "Link",
    "Result",
    "SmartLog",
    "api_version",
    "ata_smart_report",
    "decode_pg_record",
    "hex_dump",
    "id_ctrl_report",
    "open",
    "pg_report",
    "sanitize_log_report",
    "scan",
    "smart_log_report",
]

api_version: str = _native.api_version


def scan(keep_diskless: bool = False) -> List[BridgeInfo]:
    """The bridges on this machine, in scan order (with ``keep_diskless``, also those
    without a usable disk)."""
    return scan_with(_native, keep_diskless)


def open(path: str) -> Bridge:  # noqa: A001 - the natural name, as io.open
    """Opens the bridge at ``path``; raises DeviceError when the path does not open."""
    return Bridge(_native, path)


# The report printers, each returning the text the tool prints.
decode_pg_record = _native.decode_pg_record
pg_report = _native.pg_report
smart_log_report = _native.smart_log_report
sanitize_log_report = _native.sanitize_log_report
id_ctrl_report = _native.id_ctrl_report
ata_smart_report = _native.ata_smart_report
hex_dump = _native.hex_dump
