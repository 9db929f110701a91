"""The module object and its two classes as Python sees them."""

import ctypes
import operator
import subprocess
import sys

import pytest

import ordavin
from ordavin import Path, ResamplingType


def test_module_surface():
    assert ordavin.__doc__ == "Useful tools for working with paths"
    assert ordavin.__all__ == ["Path", "ResamplingType"]
    assert Path.__module__ == "builtins" and Path.__qualname__ == "Path"
    assert ResamplingType.__module__ == "builtins"


def test_import_stays_light():
    code = "import sys, ordavin; print(sorted({'numpy', 'scipy', 'clarabel'} & set(sys.modules)))"
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert out.stdout.strip() == "[]"


@pytest.mark.parametrize(
    "callable_, signature",
    [
        (Path, "(points=None, x=None, y=None)"),
        (Path.from_points, "(points)"),
        (Path.from_coordinates, "(x, y)"),
        (Path.sub_path, "($self, start=None, end=None, epsilon=0.01)"),
        (Path.index_from_point, "($self, point, epsilon=1e-2)"),
        (Path.resampled_path, "($self, number_points, resampling_type=...)"),
        (Path.without_duplicate_points, "($self)"),
        (Path.smoothed_path, "($self, max_deviation)"),
    ],
)
def test_text_signatures(callable_, signature):
    assert callable_.__text_signature__ == signature


def test_docstrings_are_split_from_signatures():
    assert Path.__doc__.startswith("Path(points=None, x=None, y=None)\n\nClass storing a 2D path.")
    assert Path.from_points.__doc__ == (
        "from_points(points)\n\nInitiates a path from a list of points.\n\n"
        ":param points: List of points\n\n:type points: list[list[float]]"
    )
    assert Path.smoothed_path.__doc__.splitlines()[5].startswith("[1] https://")
    for name in ["points", "x", "y", "length", "curvature"]:
        assert not getattr(Path, name).__doc__


@pytest.mark.parametrize("base", [Path, ResamplingType])
def test_classes_cannot_be_subclassed(base):
    with pytest.raises(TypeError):
        type("Derived", (base,), {})


def test_path_instances_are_closed():
    path = Path.from_points([[0, 0]])
    with pytest.raises(AttributeError):
        path.extra = 1
    with pytest.raises(AttributeError):
        path.points = []


class TestResamplingType:
    def test_members(self):
        assert repr(ResamplingType.Cubic) == "ResamplingType.Cubic"
        assert str(ResamplingType.Linear) == "ResamplingType.Linear"
        assert (int(ResamplingType.Cubic), int(ResamplingType.Linear)) == (0, 1)
        assert ResamplingType.Linear is ResamplingType.Linear

    @pytest.mark.parametrize(
        "left, right, equal",
        [
            (ResamplingType.Linear, ResamplingType.Linear, True),
            (ResamplingType.Linear, ResamplingType.Cubic, False),
            (ResamplingType.Linear, 1, True),
            (ResamplingType.Cubic, 0, True),
            (ResamplingType.Cubic, 1, False),
            (ResamplingType.Linear, True, True),
            (ResamplingType.Linear, 1.0, False),
            (ResamplingType.Linear, "Linear", False),
            (ResamplingType.Linear, 2**80, False),
            (ResamplingType.Linear, None, False),
        ],
    )
    def test_equality(self, left, right, equal):
        assert (left == right) is equal
        assert (left != right) is (not equal)

    def test_integer_like_operands_use_index(self):
        class Index:
            def __index__(self):
                return 1

        class BrokenIndex:
            def __init__(self, error):
                self.error = error

            def __index__(self):
                raise self.error

        assert ResamplingType.Linear == Index()
        # Whatever __index__ raises propagates, from == and from != alike.
        for error in (RuntimeError("no"), KeyboardInterrupt(), MemoryError()):
            for compare in (operator.eq, operator.ne):
                with pytest.raises(type(error)):
                    compare(ResamplingType.Linear, BrokenIndex(error))

    @pytest.mark.parametrize("slot, name", [(66, "__repr__"), (26, "__int__"), (67, "__eq__")])
    def test_slot_functions_check_their_receiver(self, slot, name):
        # Reached directly (as another extension could), with an int as the receiver.
        get_slot = ctypes.pythonapi.PyType_GetSlot
        get_slot.restype, get_slot.argtypes = ctypes.c_void_p, [ctypes.py_object, ctypes.c_int]
        address = get_slot(ResamplingType, slot)
        if name == "__eq__":
            function = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.py_object, ctypes.py_object,
                                         ctypes.c_int)(address)
            assert function(ResamplingType.Linear, 1, 2) is True  # Py_EQ
            assert function(12345, ResamplingType.Linear, 2) is NotImplemented
            return
        function = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.py_object)(address)
        assert function(ResamplingType.Linear) in ("ResamplingType.Linear", 1)
        with pytest.raises(TypeError, match="^'int' object cannot be converted to 'ResamplingType'$"):
            function(12345)

    def test_no_ordering_no_hash_no_constructor(self):
        with pytest.raises(TypeError):
            ResamplingType.Cubic < ResamplingType.Linear
        with pytest.raises(TypeError):
            hash(ResamplingType.Linear)
        with pytest.raises(TypeError, match="^No constructor defined for ResamplingType$"):
            ResamplingType()
