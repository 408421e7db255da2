"""The exception every failed device operation raises."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Mapping, Optional


@dataclass(frozen=True)
class Result:
    """The result record of the request an operation failed on.

    ``category`` is one of ``not_sent``, ``good``, ``check_condition``, ``scsi_status``,
    ``short_answer``, ``os_error`` and ``time_out``; ``description`` is that record in words
    ("CHECK CONDITION 05/24/00 invalid field in command block", "OS error 5", ...).
    """

    status: int
    category: str
    scsi_status: int
    os_error: int
    sense: bytes
    transferred: int
    residual: int
    description: str
    sense_key: Optional[int] = None
    asc: Optional[int] = None
    ascq: Optional[int] = None

    @classmethod
    def from_mapping(cls, record: Mapping[str, Any]) -> "Result":
        return cls(**{name: record[name] for name in cls.__dataclass_fields__ if name in record})


class DeviceError(Exception):
    """A device operation failed.

    ``line`` is what the console tool prints for the same failure ("fw_ver fail"),
    ``status`` the operation's status (a SCSI status byte, an OS error, or a negative
    value for a failure found by the library itself) and ``result`` the result record.
    """

    def __init__(self, line: str, status: int, result: Any) -> None:
        self.line = line
        self.status = status
        self.result = result if isinstance(result, Result) else Result.from_mapping(result)
        # A negative status after a request that went well is a failure the library found
        # itself (an invalid record, a short answer, a refused argument).
        detail = self.result.description
        if status < 0 and self.result.category == "good":
            detail = f"status {status} after {detail}"
        super().__init__(f"{line}: {detail}" if line else detail)

    @property
    def category(self) -> str:
        return self.result.category

    @property
    def scsi_status(self) -> int:
        return self.result.scsi_status

    @property
    def sense(self) -> bytes:
        return self.result.sense

    @property
    def os_error(self) -> int:
        return self.result.os_error
