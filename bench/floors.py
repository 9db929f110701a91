"""The cost floors of the benchmark, as a tiny C module built on first use.

`load()` compiles bench/floors.c with the interpreter's own compiler settings into
build/bench/ (once; rebuilt when the source is newer) and imports it.
"""

import importlib.util
import os
import shlex
import subprocess
import sysconfig
from pathlib import Path as FilePath

ROOT = FilePath(__file__).resolve().parent.parent
SOURCE = ROOT / "bench" / "floors.c"
NAME = "_ordavin_floors"


def load():
    target = ROOT / "build" / "bench" / (NAME + sysconfig.get_config_var("EXT_SUFFIX"))
    if not target.exists() or target.stat().st_mtime < SOURCE.stat().st_mtime:
        target.parent.mkdir(parents=True, exist_ok=True)
        compiler = shlex.split(os.environ.get("CC") or sysconfig.get_config_var("CC") or "cc")
        include = sysconfig.get_paths()["include"]
        subprocess.run([*compiler, "-O2", "-shared", "-fPIC", f"-I{include}", str(SOURCE),
                        "-o", str(target), "-lm"], check=True)
    found = importlib.util.spec_from_file_location(NAME, target)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module
