#!/usr/bin/env python3
"""Updates the firmware of every bridge found (or of the paths given), all at once.

    fleet_update.py --main main.bin --rescue rescue.bin [--config pg.conf] [--led led.bin]
                    [--lab DIR] [--log fleet.json] [--jobs N] [--plain] [PATH ...]

Each bridge gets a progress bar (tqdm where it is installed, plain lines otherwise); a
table of path, UUID, old and new firmware version and result follows, and a JSON log of
the same is written. The exit status is 1 when any bridge failed, 2 for bad arguments.
With --lab DIR the bridges are those of a lab directory (zelko.lab) instead of this
machine's.
"""

from __future__ import annotations

import argparse
import json
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import asdict, dataclass
from typing import List, Optional

import zelko

try:
    from tqdm import tqdm
except ImportError:  # plain progress lines instead
    tqdm = None


@dataclass
class Outcome:
    path: str
    uuid: Optional[str] = None
    old_version: Optional[str] = None
    new_version: Optional[str] = None
    new_path: Optional[str] = None
    result: str = "not started"
    ok: bool = False
    seconds: float = 0.0


class Progress:
    """One progress display per bridge: a tqdm bar, or a line at each tenth."""

    def __init__(self, use_tqdm: bool) -> None:
        self.use_tqdm = use_tqdm
        self.lock = threading.Lock()
        self.position = 0

    def bar(self, path: str) -> "Bar":
        with self.lock:
            position = self.position
            self.position += 1
        return Bar(self, path, position)


class Bar:
    """The progress of one bridge: called with (written, total) as bytes reach the flash."""

    def __init__(self, owner: Progress, path: str, position: int) -> None:
        self.owner = owner
        self.path = path
        self.last = -1
        self.bar = None
        if owner.use_tqdm:
            self.bar = tqdm(total=100, desc=path, position=position, unit="%", leave=True, file=sys.stdout)

    def __call__(self, written: int, total: int) -> None:
        percent = written * 100 // total if total else 0
        if self.bar is not None:
            self.bar.update(percent - self.bar.n)
        elif percent // 10 != self.last // 10 or (percent == 100 and self.last != 100):
            with self.owner.lock:
                print(f"{self.path}: {percent}%", flush=True)
        self.last = percent

    def close(self, result: str) -> None:
        if self.bar is not None:
            self.bar.set_postfix_str(result)
            self.bar.close()


def update_one(backend, path: str, args, progress: Progress) -> Outcome:
    outcome = Outcome(path)
    start = time.monotonic()
    try:
        with backend.open(path) as bridge:
            uuid = bridge.uuid
            outcome.uuid = f"{uuid:08x}"
            outcome.old_version = str(bridge.fw_version)
            bar = progress.bar(path)
            try:
                bridge.fw_update(args.main, args.rescue, config=args.config, led=args.led, progress=bar)
            finally:
                bar.close("done" if bar.last == 100 else "failed")
        # The bridge restarted and may be back under another path: found again by its UUID.
        for found in backend.scan():
            with backend.open(found.path) as again:
                if again.uuid == uuid:
                    outcome.new_path = found.path
                    outcome.new_version = str(again.fw_version)
                    break
        outcome.ok = outcome.new_version is not None
        outcome.result = "ok" if outcome.ok else "updated, but not found again"
    except zelko.DeviceError as error:
        outcome.result = f"{error.line}: {error.result.description}"
    finally:
        outcome.seconds = round(time.monotonic() - start, 3)
    return outcome


def table(outcomes: List[Outcome]) -> str:
    rows = [("PATH", "UUID", "OLD", "NEW", "RESULT")]
    rows += [(o.path, o.uuid or "-", o.old_version or "-", o.new_version or "-", o.result) for o in outcomes]
    widths = [max(len(row[i]) for row in rows) for i in range(4)]
    return "\n".join(
        "  ".join(cell.ljust(width) for cell, width in zip(row[:4], widths)) + "  " + row[4] for row in rows
    )


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(description="Update the firmware of many bridges at once.")
    parser.add_argument("paths", nargs="*", help="bridges to update (default: every bridge a scan finds)")
    parser.add_argument("--main", required=True, help="main firmware image")
    parser.add_argument("--rescue", required=True, help="rescue firmware image")
    parser.add_argument("--config", help="PG configuration file to write as well")
    parser.add_argument("--led", help="LED image to write as well")
    parser.add_argument("--lab", help="update the bridges of this lab directory")
    parser.add_argument("--log", default="fleet_update.json", help="JSON log (default: %(default)s)")
    parser.add_argument("--jobs", type=int, default=0, help="updates at once (default: all)")
    parser.add_argument("--plain", action="store_true", help="plain progress lines even with tqdm")
    args = parser.parse_args(argv)

    if args.lab:
        from zelko.lab import Lab

        backend = Lab(args.lab)
    else:
        backend = zelko
    paths = args.paths or [found.path for found in backend.scan()]
    if not paths:
        print("no bridges found", file=sys.stderr)
        return 1

    progress = Progress(tqdm is not None and not args.plain)
    started = time.time()
    with ThreadPoolExecutor(args.jobs or len(paths)) as pool:
        outcomes = list(pool.map(lambda path: update_one(backend, path, args, progress), paths))

    print()
    print(table(outcomes))
    failed = [o for o in outcomes if not o.ok]
    print(f"{len(outcomes) - len(failed)} of {len(outcomes)} bridges updated")
    log = {
        "started": started,
        "seconds": round(time.time() - started, 3),
        "main": args.main,
        "rescue": args.rescue,
        "config": args.config,
        "led": args.led,
        "bridges": [asdict(o) for o in outcomes],
    }
    with open(args.log, "w", encoding="utf-8") as out:
        json.dump(log, out, indent=2)
        out.write("\n")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
