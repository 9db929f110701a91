"""The module object and its two classes as Python sees them."""

import ctypes
import operator
import os
import struct
import subprocess
import sys
import textwrap

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


def defined_dynamic_symbols(library):
    """The names of the global and weak symbols an ELF64 shared object defines for the dynamic
    linker (its .dynsym), read directly so that no binutils are needed."""
    with open(library, "rb") as file:
        image = file.read()
    assert image[:4] == b"\x7fELF" and image[4] == 2, "not an ELF64 object"
    order = "<" if image[5] == 1 else ">"
    section_offset, = struct.unpack_from(order + "Q", image, 0x28)
    section_size, section_count = struct.unpack_from(order + "HH", image, 0x3A)
    sections = [
        struct.unpack_from(order + "IIQQQQIIQQ", image, section_offset + i * section_size)
        for i in range(section_count)
    ]
    SHT_DYNSYM, SHN_UNDEF = 11, 0
    STB_GLOBAL, STB_WEAK, STB_GNU_UNIQUE = 1, 2, 10
    names = []
    for _, kind, _, _, offset, size, link, _, _, entry_size in sections:
        if kind != SHT_DYNSYM:
            continue
        strings_offset = sections[link][4]
        for start in range(offset, offset + size, entry_size):
            name, info, _, index, _, _ = struct.unpack_from(order + "IBBHQQ", image, start)
            if index == SHN_UNDEF or info >> 4 not in (STB_GLOBAL, STB_WEAK, STB_GNU_UNIQUE):
                continue
            end = image.index(b"\0", strings_offset + name)
            names.append(image[strings_offset + name : end].decode())
    return names


def test_only_the_entry_point_is_exported():
    # Anything else exported (the C++ runtime's type information, template statics) would be
    # bound by the dynamic linker across every library of the process.
    assert defined_dynamic_symbols(ordavin.__file__) == ["PyInit_ordavin"]


# Runs in a fresh process: imports ordavin in a subinterpreter (before or after the main
# interpreter does), reports what the import raised, then checks that the main interpreter's
# module still works.
SUBINTERPRETER_SCRIPT = textwrap.dedent(
    """
    import os, sys
    mechanism, order = sys.argv[1:]
    if order == "main-first":
        import ordavin
    read_end, write_end = os.pipe()
    code = (
        "import os\\n"
        "try:\\n"
        "    import ordavin\\n"
        "    outcome = 'imported'\\n"
        "except BaseException as error:\\n"
        "    outcome = type(error).__name__ + ': ' + str(error)\\n"
        f"os.write({write_end}, outcome.encode())\\n"
    )
    if mechanism == "legacy":
        import _testcapi
        assert _testcapi.run_in_subinterp(code) == 0
    else:
        try:
            import _interpreters as interpreters
        except ImportError:
            import _xxsubinterpreters as interpreters
        interpreter = interpreters.create()
        interpreters.run_string(interpreter, code)
        interpreters.destroy(interpreter)
    os.close(write_end)
    print(os.read(read_end, 4096).decode())
    import ordavin
    assert ordavin.Path.from_points([[0, 0], [3, 4]]).length == 5.0
    del sys.modules["ordavin"]
    import ordavin as again
    assert again.Path is ordavin.Path
    """
)


def subinterpreter_mechanism_available(mechanism):
    modules = ["_testcapi"] if mechanism == "legacy" else ["_interpreters", "_xxsubinterpreters"]
    for name in modules:
        try:
            __import__(name)
            return True
        except ImportError:
            pass
    return False


@pytest.mark.parametrize("order", ["main-first", "subinterpreter-first"])
@pytest.mark.parametrize("mechanism", ["legacy", "isolated"])
def test_subinterpreters_cannot_import(mechanism, order):
    # The type objects, PanicException and the solver's handles are process-wide; an
    # interpreter other than the main one would share them and outlive none of them safely.
    if not subinterpreter_mechanism_available(mechanism):
        if os.environ.get("CI") == "true" and mechanism == "legacy":
            pytest.fail("_testcapi is missing from this interpreter")
        pytest.skip(f"no {mechanism} subinterpreters in this interpreter")
    run = subprocess.run(
        [sys.executable, "-c", SUBINTERPRETER_SCRIPT, mechanism, order],
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert run.returncode == 0, run.stderr
    outcome = run.stdout.strip()
    # Interpreters with their own GIL (3.12 on) refuse single-phase modules before ordavin runs.
    assert outcome.startswith("ImportError: "), outcome
    if mechanism == "legacy" or sys.version_info < (3, 12):
        assert outcome == "ImportError: ordavin can only be imported in the main interpreter"


# An embedding program that imports ordavin, finalises the interpreter, starts a new one and
# imports ordavin again.
RESTART_PROGRAM = r"""
#include <Python.h>
#include <stdio.h>
int main(void) {
    Py_Initialize();
    if (PyRun_SimpleString("import ordavin; ordavin.Path.from_points([[0, 0], [3, 4]]).length"))
        return 2;
    if (Py_FinalizeEx() != 0) return 3;
    Py_Initialize();
    int failed = PyRun_SimpleString(
        "try:\n"
        "    import ordavin\n"
        "    print('imported', ordavin.Path.from_points([[0, 0], [3, 4]]).length)\n"
        "except ImportError as error:\n"
        "    print('ImportError:', error)\n");
    fflush(stdout);
    return failed;
}
"""


def test_a_restarted_interpreter_cannot_import(tmp_path):
    # The types and handles died with the first interpreter; handing them to the second would
    # use freed objects.
    import sysconfig

    compiler = sysconfig.get_config_var("CC").split()[0]
    library = sysconfig.get_config_var("LDLIBRARY") or ""
    library_dir = sysconfig.get_config_var("LIBDIR")
    headers = sysconfig.get_paths()["include"]
    available = (
        library.endswith(".so")
        and os.path.exists(os.path.join(library_dir, library))
        and os.path.exists(os.path.join(headers, "Python.h"))
    )
    if not available:
        if os.environ.get("CI") == "true":
            pytest.fail("this interpreter has no shared libpython and headers to embed")
        pytest.skip("this interpreter has no shared libpython and headers to embed")
    source = tmp_path / "restart.c"
    source.write_text(RESTART_PROGRAM)
    program = tmp_path / "restart"
    name = library[len("lib") : -len(".so")]
    subprocess.run(
        [compiler, str(source), "-o", str(program), f"-I{headers}", f"-L{library_dir}",
         f"-l{name}", f"-Wl,-rpath,{library_dir}"],
        check=True,
    )
    environment = dict(os.environ, PYTHONPATH=os.path.dirname(ordavin.__file__),
                       PYTHONHOME=sys.base_prefix)
    run = subprocess.run([str(program)], capture_output=True, text=True, env=environment,
                         timeout=120)
    assert run.returncode == 0, run.stderr
    assert run.stdout.strip() == "ImportError: ordavin can only be initialised once per process"


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
