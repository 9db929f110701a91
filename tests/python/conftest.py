"""Shared helpers for the Python tests."""

import contextlib
import os
import pathlib

import pytest
from hypothesis import HealthCheck, settings

# Property tests keep their example counts modest: the suite also runs under the sanitizers.
settings.register_profile(
    "default", max_examples=60, deadline=None, suppress_health_check=[HealthCheck.too_slow]
)
settings.load_profile(os.environ.get("ORDAVIN_HYPOTHESIS_PROFILE", "default"))


def pytest_configure(config):
    """A sanitized or debug run names the build it means to test; make sure that one is loaded,
    not a copy installed elsewhere on the path."""
    expected = os.environ.get("ORDAVIN_EXPECT_MODULE_DIR")
    if not expected:
        return
    import ordavin

    loaded = pathlib.Path(ordavin.__file__).resolve().parent
    if loaded != pathlib.Path(expected).resolve():
        raise pytest.UsageError(f"ordavin was loaded from {loaded}, expected {expected}")
    if os.environ.get("ORDAVIN_EXPECT_ASAN") == "1":
        maps = pathlib.Path("/proc/self/maps").read_text()
        if "libasan" not in maps:
            raise pytest.UsageError("the AddressSanitizer runtime is not loaded")


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
