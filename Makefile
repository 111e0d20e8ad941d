# The two commands of the README: `make run` and `make test`. Both install what is missing first.
PRESET ?= dev
WERROR ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)

export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0

.PHONY: deps configure build run test bench clean

deps:
	tools/install-deps.sh
	tools/install-npm-peers.sh

configure: deps
	cmake --preset $(PRESET) -DVANTOR_WERROR=$(WERROR)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

# The program alone, optimised, started in the desktop session this runs in; it stays in the
# tray until it is quit. Without a display it says so and fails.
run: PRESET = release
run: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target vantor-mcp
	build/$(PRESET)/app/vantor-mcp

test: build
	ctest --preset $(PRESET) -j $(JOBS)
	tests/peers/conformance/run.sh build/$(PRESET)

bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	tools/run-benchmarks.sh build/release/bench

clean:
	rm -rf build
