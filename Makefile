# The two commands of the README: `make run` and `make test`. Both install what is missing first.
PRESET ?= dev
WERROR ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)
# CI reads only sanitizer reports and stack traces, which line tables give: full debug information
# would add a tenth to every compile of the debug trees.
DEBUG_INFO ?= $(if $(CI),-g1,-g)
CMAKE_FLAGS = -DVANTOR_WERROR=$(WERROR) -DCMAKE_CXX_FLAGS_DEBUG=$(DEBUG_INFO)

# The sanitizers' options and the leak suppressions are in the test presets (CMakePresets.json),
# so `ctest --preset dev` alone runs the tests as `make test` does.

.PHONY: deps configure build run test tsan bench bench-host bench-eventsource clean

deps:
	tools/install-deps.sh
	tools/install-npm-peers.sh

configure: deps
	cmake --preset $(PRESET) $(CMAKE_FLAGS)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

# The program alone, optimised, started in the desktop session this runs in; it stays in the
# tray until it is quit. Without a display it says so and fails.
run: PRESET = release
run: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target vantor-mcp
	build/$(PRESET)/app/vantor-mcp

# Every test: the suite; the protocol's conformance suite against the example fixture server and
# client; the fuzz targets, built with a preset of their own (clang), for a few
# seconds each; then the library and the host under ThreadSanitizer.
test: build
	ctest --preset $(PRESET) -j $(JOBS)
	tests/peers/conformance/run.sh build/$(PRESET)
	JOBS=$(JOBS) tools/run-fuzzers.sh
	$(MAKE) tsan

# The library's and the local host's tests again, built with ThreadSanitizer.
tsan: deps
	cmake --preset tsan $(CMAKE_FLAGS)
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# Every benchmark program, then the library's client beside the reference SDK's client on the
# same server (calls/s, CPU per call, memory, with 1 and 16 calls in flight).
bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	tools/run-benchmarks.sh build/release/bench
	bench/mcp/client/compare_reference.sh build/release

# The local host beside the protocol's reference SDK (req/s, p50, p99 and the ratio, also under
# other allocators), then the host's instructions per request, counted by callgrind.
bench-host: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target host_serve http_load
	bench/app/host/compare_reference.sh build/release
	bench/app/host/count_instructions.sh build/release

# The event-stream parser beside an npm parser on the same input (MB/s and the ratio).
bench-eventsource: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target eventsource_bench
	bench/eventsource/compare_reference.sh build/release

clean:
	rm -rf build
