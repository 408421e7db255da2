"""Type stubs of zelko._lab: the API of zelko._native on a lab directory, plus attach."""

from ._native import *  # noqa: F403 - the same functions and Device class

def attach(directory: str) -> None: ...
