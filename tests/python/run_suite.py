"""Runs the Python suite with pytest, or exits 77 (skipped) with the reason when pytest is
not installed. A package that was built but does not import fails the suite."""

import sys

try:
    import pytest
except ImportError:
    print("python_suite skipped: pytest is not installed (python3-pytest)")
    sys.exit(77)


class _Count:
    """Counts the cases that passed, for the closing line tools/check reads."""

    def __init__(self):
        self.passed = 0

    def pytest_runtest_logreport(self, report):
        if report.when == "call" and report.passed:
            self.passed += 1


count = _Count()
status = pytest.main(
    ["-q", "-p", "no:cacheprovider", "-o", "console_output_style=classic", sys.argv[1]], plugins=[count]
)
print(f"python_suite: {count.passed} pytest cases passed")
# tools/check counts the cases in its closing line from this file (the test's own folder).
with open("pytest-passed.txt", "w", encoding="ascii") as out:
    out.write(f"{count.passed if status == 0 else 0}\n")
sys.exit(status)
