# Two entry points do all set-up on a fresh machine:
#   make demo   builds the module into a project virtual environment and runs the example tour
#   make test   builds it, then runs every test: pytest for the Python surface, GoogleTest
#               (through ctest) for the C++ kernels and the QP layer
SHELL := /bin/bash
PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
CPP_BUILD := build/cpp-tests

.PHONY: demo test test-python test-cpp bench-guard install venv bench clean

$(VENV)/.created:
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --upgrade pip
	touch $@

venv: $(VENV)/.created

install: venv
	$(PY) -m pip install -q ".[test,examples]"

demo: install
	$(PY) examples/tour.py

test: install test-python bench-guard test-cpp

test-python:
	$(PY) -m pytest -q

test-cpp:
	bash tools/ensure-cpp-test-deps.sh
	cmake -S . -B $(CPP_BUILD) -DORDAVIN_BUILD_TESTS=ON -DORDAVIN_BUILD_MODULE=OFF \
	    -DPython_EXECUTABLE=$(abspath $(PY)) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(CPP_BUILD) -j 2
	PYTHONPATH=$$($(PY) -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])') \
	    ctest --test-dir $(CPP_BUILD) --output-on-failure -j 2

# Speed ratios against the peers at small sizes (about 5 s); fails when one drops below its floor.
bench-guard:
	$(PY) bench/run_all.py --guard

bench: install
	$(PY) -m pip install -q ".[bench]"
	$(PY) bench/run_all.py $(BENCH_ARGS)

clean:
	rm -rf build dist $(VENV)
