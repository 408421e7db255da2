"""The lab behind the same API: emulated bridges in a lab directory.

    from zelko.lab import Lab
    lab = Lab("/tmp/lab")
    lab.create("PhysicalDrive1", disk="nvme")
    with lab.open("PhysicalDrive1") as bridge:
        print(hex(bridge.uuid))

Bridges are opened in process, through the lab's own port (zelko._lab). Making devices,
settings and fault rules go through the lab program's verbs (``mvbridge-lab``), found as
``$MVBRIDGE_LAB``, beside a build tree's package, or on PATH.

An open bridge holds its device, as the host's ports do: another process using the same
device (``lab.run(...)`` on it) waits until the bridge is closed.

The lab's port serves one lab directory per process: opening a bridge of another lab
while bridges of the first are open raises RuntimeError.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import threading
from pathlib import Path
from typing import Any, Dict, List, Optional, Sequence, Union

from . import _lab
from ._bridge import Bridge, scan_with
from ._logs import BridgeInfo

__all__ = ["Lab", "LabError", "lab_program", "device_path"]


class LabError(RuntimeError):
    """A lab verb failed; the message is what it printed."""


def lab_program() -> str:
    """The mvbridge-lab program the verbs run."""
    given = os.environ.get("MVBRIDGE_LAB")
    if given:
        return given
    # In a build tree the package sits at BUILD/python/zelko and the lab at BUILD/lab.
    beside = Path(__file__).resolve().parents[2] / "lab" / "mvbridge-lab"
    if beside.is_file():
        return str(beside)
    found = shutil.which("mvbridge-lab")
    if found is None:
        raise LabError("mvbridge-lab not found: set MVBRIDGE_LAB or put it on PATH")
    return found


def device_path(name: str) -> str:
    """The path the tool reaches a lab device by: \\\\.\\PhysicalDriveN or \\\\.\\X:."""
    if name.startswith("\\\\.\\") or "/" in name or "\\" in name or not name:
        return name
    if len(name) == 1:
        return f"\\\\.\\{name}:"
    return f"\\\\.\\{name}"


# The lab the port is attached to, how many bridges are open on it, and which thread holds
# each open device path (a second open of a held device waits for the close, so a thread
# opening its own device again would wait forever).
_attach_lock = threading.Lock()
_attached: Optional[str] = None
_open_count = 0
_holders: Dict[str, List[int]] = {}


def _options(settings: dict) -> List[str]:
    args: List[str] = []
    for key, value in settings.items():
        option = "--" + key.replace("_", "-")
        if value is True:
            args.append(option)
        elif value is False or value is None:
            continue
        else:
            args += [option, str(value)]
    return args


class Lab:
    """A lab directory, made (``init``) when it is not a lab yet."""

    def __init__(self, directory: Union[str, os.PathLike], time_factor: Optional[int] = None) -> None:
        self.directory = Path(directory).resolve()
        if not (self.directory / "lab.conf").is_file():
            self.directory.mkdir(parents=True, exist_ok=True)
            self.verb("init", *(["--time-factor", str(time_factor)] if time_factor is not None else []))
        elif time_factor is not None:
            self.set("lab", "time_factor", time_factor)

    def __repr__(self) -> str:
        return f"<zelko.lab.Lab {str(self.directory)!r}>"

    def verb(self, *args: Any) -> str:
        """Runs ``mvbridge-lab DIR ARGS...``; returns its output, raises LabError on failure."""
        command = [lab_program(), str(self.directory), *map(str, args)]
        done = subprocess.run(command, capture_output=True, text=True)
        if done.returncode != 0:
            raise LabError((done.stdout + done.stderr).strip() or f"{' '.join(command)} failed")
        return done.stdout

    def create(self, name: str, **settings: Any) -> str:
        """Makes a device: ``disk="nvme"|"sata"|"none"``, ``gen=0|1``, ``cdrom_of=...``,
        ``foreign=True``, or any ``set`` key (``uuid=...``, ``restart_delay_ms=0``).
        Returns the device's path."""
        self.verb("create", name, *_options(settings))
        return device_path(name)

    def set(self, name: str, key: str, value: Any) -> None:
        """A device setting (``set NAME KEY VALUE``), or the lab's own with name ``"lab"``."""
        self.verb("set", name, key, value)

    def fault(self, name: str, pattern: str, **options: Any) -> None:
        """Adds a fault rule: ``fault(name, "E3 .. .. .. 11", status=2, sense="03/0C/00")``,
        ``os_error=5``, ``short=4``, ``first=1``, ``after=2``, ``drop_write=True``, ..."""
        self.verb("fault", name, "add", pattern, *_options(options))

    def clear_faults(self, name: str) -> None:
        self.verb("fault", name, "clear")

    def restart(self, name: str) -> None:
        self.verb("restart", name)

    def mkimage(self, path: Union[str, os.PathLike], kind: str, chip: int = 12, size: int = 65536,
                version: Optional[str] = None, **options: Any) -> str:
        """Writes a firmware image (``kind`` main or rescue); returns its path."""
        if version is not None:
            options["version"] = version
        self.verb("mkimage", path, kind, chip, size, *_options(options))
        return str(path)

    def mkled(self, path: Union[str, os.PathLike], **options: Any) -> str:
        self.verb("mkled", path, *_options(options))
        return str(path)

    def show(self, *args: Any) -> str:
        return self.verb("show", *args)

    def run(self, *args: Any) -> str:
        """The console tool on the lab (``run COMMAND ARGS...``): its output."""
        return self.verb("run", *args)

    def _attach(self) -> None:
        global _attached
        with _attach_lock:
            here = str(self.directory)
            if _attached != here:
                if _open_count:
                    raise RuntimeError(f"bridges of the lab {_attached} are still open")
                _lab.attach(here)
                _attached = here

    def scan(self, keep_diskless: bool = False) -> List[BridgeInfo]:
        """The lab's bridges as zelko.scan finds them."""
        self._attach()
        return scan_with(_lab, keep_diskless)

    def open(self, name: str) -> Bridge:
        """Opens a lab device by name ("PhysicalDrive1") or path: the same Bridge as
        zelko.open returns. A thread that already has the device open gets RuntimeError
        (the lab holds a device from open to close, so the open would never return)."""
        global _open_count
        path = device_path(name)
        me = threading.get_ident()
        self._attach()
        with _attach_lock:
            if me in _holders.get(path, []):
                raise RuntimeError(f"{path} is already open in this thread: close it first")
            _open_count += 1
            _holders.setdefault(path, []).append(me)

        def closed() -> None:
            global _open_count
            with _attach_lock:
                _open_count -= 1
                _holders[path].remove(me)

        try:
            return Bridge(_lab, path, on_close=closed)
        except BaseException:
            closed()
            raise

    def fw_update(self, name: str, main: str, rescue: str, config: Optional[str] = None,
                  led: Optional[str] = None, progress: Any = None) -> None:
        """Updates a lab bridge's firmware (see Bridge.fw_update)."""
        self.open(name).fw_update(main, rescue, config=config, led=led, progress=progress)

    def paths(self, names: Sequence[str]) -> List[str]:
        return [device_path(name) for name in names]

