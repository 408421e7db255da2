"""Threads: several bridges at once, one bridge shared, and device I/O without the GIL."""

import threading
import time
from concurrent.futures import ThreadPoolExecutor




def test_threads_each_drive_their_own_bridge(mvbridge_lab):
    paths = [mvbridge_lab.nvme_bridge(uuid=f"0x{0xA0 + i:08x}") for i in range(4)]

    def work(index):
        with mvbridge_lab.open(paths[index]) as bridge:
            page = f"bridge {index}".encode()
            for _ in range(15):
                assert bridge.uuid == 0xA0 + index
                bridge.cust_page = page
                assert bridge.cust_page.rstrip(b"\0") == page
                assert bridge.nvme_smart_log().available_spare == 100
        return index

    with ThreadPoolExecutor(len(paths)) as pool:
        assert sorted(pool.map(work, range(len(paths)))) == [0, 1, 2, 3]


def test_threads_may_share_one_bridge(mvbridge_lab):
    path = mvbridge_lab.nvme_bridge(uuid="0x5150")
    errors = []
    with mvbridge_lab.open(path) as bridge:

        def work():
            try:
                for _ in range(25):
                    assert bridge.uuid == 0x5150
                    assert len(bridge.status_block) == 128
            except Exception as error:  # collected: an assertion in a thread is not seen otherwise
                errors.append(error)

        threads = [threading.Thread(target=work) for _ in range(3)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    assert errors == []


def timed_update(mvbridge_lab, paths, main, rescue):
    start = time.monotonic()
    with ThreadPoolExecutor(len(paths)) as pool:
        list(pool.map(lambda path: mvbridge_lab.open(path).fw_update(main, rescue), paths))
    return time.monotonic() - start


def test_updates_of_several_bridges_overlap(tmp_path):
    # The update's waits (restarts, the once-a-second polls) are real waits here: lab time
    # runs 20 times faster, so an update takes a few tenths of a second. With the GIL held
    # through device I/O, four updates would take four times one.
    from zelko.pytest_plugin import LabFixture

    lab = LabFixture(tmp_path / "lab", time_factor=20)
    paths = [lab.nvme_bridge(restart_delay_ms=4000) for _ in range(5)]
    main, rescue = lab.images(version="3.0.0")
    one = timed_update(lab, paths[:1], main, rescue)
    four = timed_update(lab, paths[1:], main, rescue)
    assert one > 0.3
    assert four < 2.0 * one, f"one update {one:.2f} s, four at once {four:.2f} s"
    for found in lab.scan():
        with lab.open(found.path) as bridge:
            assert str(bridge.fw_version) == "3.0.0"
