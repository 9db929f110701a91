"""Shared helpers for the Python tests."""

import contextlib

import pytest


@contextlib.contextmanager
def raises_panic(match=None):
    """PanicException derives from BaseException and is not exported, so it is matched by name."""
    with pytest.raises(BaseException) as info:
        yield info
    assert type(info.value).__name__ == "PanicException", repr(info.value)
    assert type(info.value).__mro__[1] is BaseException
    if match is not None:
        assert match in str(info.value)


@pytest.fixture
def panic():
    return raises_panic
