"""Runs the valgrind workload under memcheck and fails on memory errors in the ordavin module
and on definite leaks that the module causes and that grow with the work done.

The interpreter, numpy, clarabel and OpenBLAS keep some memory until exit by design, and a few
objects alive at exit show as lost; so the workload runs twice, with 1 and with 4 rounds, and
only leaks attributed to the module that grow between the two runs count."""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

# Libraries an allocation passes through on its way from its real owner to malloc.
ALLOCATION_PATH = ("vgpreload", "libstdc++", "libc.so", "libpython", "ld-linux")
# Libraries a faulty access may pass through (memcpy and the like).
ACCESS_PATH = ("vgpreload", "libc.so")


def frames_of(error):
    stack = error.find("stack")
    return [] if stack is None else stack.findall("frame")


def first_owner(error, pass_through):
    for frame in frames_of(error):
        obj = os.path.basename(frame.findtext("obj") or "")
        if not any(name in obj for name in pass_through):
            return obj
    return ""


def is_leak(error):
    return (error.findtext("kind") or "").startswith("Leak_")


def ours(error):
    """A leak the module is the first caller of below the allocator, the C++ runtime and the
    interpreter (a Python object it made and never released counts); an access error whose
    faulting code is the module's."""
    owner = first_owner(error, ALLOCATION_PATH if is_leak(error) else ACCESS_PATH)
    return owner.startswith("ordavin")


def leaked_bytes(error):
    return int(error.findtext("xwhat/leakedbytes") or 0)


def describe(error):
    lines = [error.findtext("kind") or "?",
             (error.findtext("xwhat/text") or error.findtext("what") or "").strip()]
    for frame in frames_of(error)[:14]:
        where = f" {frame.findtext('file')}:{frame.findtext('line')}" if frame.findtext("file") else ""
        lines.append(f"    {frame.findtext('fn') or '?'} ({os.path.basename(frame.findtext('obj') or '?')}){where}")
    return "\n".join(lines)


def run(python, workload, rounds):
    with tempfile.TemporaryDirectory() as directory:
        report = os.path.join(directory, "memcheck.xml")
        environment = dict(os.environ, PYTHONMALLOC="malloc", ORDAVIN_VALGRIND_ROUNDS=str(rounds))
        completed = subprocess.run(
            ["valgrind", "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=definite",
             "--num-callers=40", "--xml=yes", f"--xml-file={report}", python, workload],
            env=environment, capture_output=True, text=True, check=False)
        if completed.returncode != 0 or "workload done" not in completed.stdout:
            print(completed.stdout, completed.stderr, sep="\n")
            raise SystemExit(f"valgrind: the workload failed (exit {completed.returncode})")
        return ElementTree.parse(report).getroot().findall("error")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--python", required=True)
    parser.add_argument("--workload", required=True)
    options = parser.parse_args()
    started = time.monotonic()
    small = run(options.python, options.workload, 1)
    large = run(options.python, options.workload, 4)
    elapsed = time.monotonic() - started

    access_errors = [e for e in small + large if not is_leak(e) and ours(e)]
    small_leak = sum(leaked_bytes(e) for e in small if is_leak(e) and ours(e))
    large_leaks = [e for e in large if is_leak(e) and ours(e)]
    large_leak = sum(leaked_bytes(e) for e in large_leaks)
    growing = large_leak > small_leak
    print(f"valgrind: {len(small)} + {len(large)} reports in {elapsed:.0f} s; module access "
          f"errors {len(access_errors)}; definite leaks attributed to the module: {small_leak} "
          f"bytes after 1 round, {large_leak} bytes after 4 rounds")
    for error in access_errors + (large_leaks if growing else []):
        print(describe(error))
    failed = bool(access_errors) or growing
    print(f"valgrind: {0 if failed else 1} passed, {1 if failed else 0} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
