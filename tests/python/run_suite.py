"""Runs the Python suite with pytest, or exits 77 (skipped) with the reason when pytest is
not installed. A package that was built but does not import fails the suite."""

import sys

try:
    import pytest
except ImportError:
    print("python_suite skipped: pytest is not installed (python3-pytest)")
    sys.exit(77)

sys.exit(pytest.main(["-q", "-p", "no:cacheprovider", "-o", "console_output_style=classic", sys.argv[1]]))
