"""The ``mvbridge_lab`` pytest fixture: a fresh lab in the test's tmp_path.

Loaded by the ``pytest11`` entry point of an installed zelko, or with
``pytest_plugins = ["zelko.pytest_plugin"]`` in a conftest.py.

    def test_serial(mvbridge_lab):
        path = mvbridge_lab.nvme_bridge()
        with mvbridge_lab.open(path) as bridge:
            bridge.serial = "LINE7-0001"
            assert bridge.serial == "LINE7-0001"
"""

from __future__ import annotations

from pathlib import Path
from typing import Any, Dict, Iterator, Tuple

import pytest

from .lab import Lab, device_path


class LabFixture(Lab):
    """A Lab with helpers that make a bridge of each kind under the next free name
    (PhysicalDrive0 to 9) and return its path."""

    def __init__(self, directory: Path, time_factor: int) -> None:
        super().__init__(directory, time_factor=time_factor)
        self._next = 0
        self._images: Dict[Tuple[str, int], Tuple[str, str]] = {}

    def _name(self) -> str:
        if self._next > 9:
            raise RuntimeError("a lab has ten drives, PhysicalDrive0 to 9")
        name = f"PhysicalDrive{self._next}"
        self._next += 1
        return name

    def bridge(self, **settings: Any) -> str:
        """A bridge with any create settings (restarts take no time unless set)."""
        settings.setdefault("restart_delay_ms", 0)
        return self.create(self._name(), **settings)

    def nvme_bridge(self, **settings: Any) -> str:
        return self.bridge(disk="nvme", **settings)

    def sata_bridge(self, **settings: Any) -> str:
        return self.bridge(disk="sata", **settings)

    def diskless_bridge(self, **settings: Any) -> str:
        return self.bridge(disk="none", **settings)

    def raid_bridge(self, **settings: Any) -> str:
        return self.bridge(disks=2, **settings)

    def foreign_disk(self) -> str:
        """Another vendor's USB disk: found by no scan, refused by bridge commands."""
        return self.create(self._name(), foreign=True)

    def cdrom_of(self, path: str, letter: str = "c") -> str:
        """The bridge's own CD-ROM volume, as a volume letter."""
        self.create(letter, cdrom_of=path.rsplit("\\", 1)[-1])
        return device_path(letter)

    def name_of(self, path: str) -> str:
        return path.rsplit("\\", 1)[-1].rstrip(":")

    def images(self, version: str = "2.0.1", size: int = 65536) -> Tuple[str, str]:
        """A main and a rescue image (made once per version) for fw_update."""
        key = (version, size)
        if key not in self._images:
            folder = self.directory.parent / f"images-{version}-{size}"
            folder.mkdir(exist_ok=True)
            main = self.mkimage(folder / "main.bin", "main", size=size, version=version)
            rescue = self.mkimage(folder / "rescue.bin", "rescue", size=size, version=version)
            self._images[key] = (main, rescue)
        return self._images[key]


@pytest.fixture
def mvbridge_lab(tmp_path: Path) -> Iterator[LabFixture]:
    """A fresh lab in tmp_path/lab, lab time running 1000 times faster than real time."""
    yield LabFixture(tmp_path / "lab", time_factor=1000)
