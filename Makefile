# The two README commands, `make run` and `make test`, and a few helpers.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD?= build-bench
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
# `make fuzz FUZZ_SECONDS=N` also runs every fuzz target for N seconds.
FUZZ_SECONDS ?=
FUZZ_SMOKE_SECONDS ?= 15

# The Debian packages that building, testing, fuzzing and installing need: compiler and build
# tools, GoogleTest, Google Benchmark, gemmi's headers (CCP4/MRC maps), groff (man page checks)
# and Clang with its libFuzzer runtime (fuzz targets).
PACKAGES := cmake make g++ libgtest-dev libbenchmark-dev gemmi-dev groff-base clang \
            libclang-rt-14-dev

.PHONY: all deps build run test test-asan test-tsan bench check-formatting fuzz fuzz-smoke install clean format

all: build

# Installs the packages that are missing; says nothing when all are there.
deps:
	@missing=""; \
	if command -v dpkg >/dev/null 2>&1; then \
	  for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	fi; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" -ne 0 ]; then \
	    echo "Missing packages:$$missing; install them as root with" \
	         "apt-get install -y$$missing" >&2; exit 1; \
	  fi; \
	  echo "Installing$$missing"; \
	  apt-get update && apt-get install -y $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The test targets build with warnings as errors (MAPCONV_WERROR), as CI does.
test: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DMAPCONV_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMAPCONV_SANITIZE=ON

test-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake -S . -B $(ASAN_BUILD) -DMAPCONV_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The tests of the threaded conversion under ThreadSanitizer: the grid writer in process, and
# whole runs of a ThreadSanitizer build of mapconv on one and two threads.
$(TSAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread

test-tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake -S . -B $(TSAN_BUILD) -DMAPCONV_WERROR=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target conversion_tests e2e_tests
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/tests/conversion/conversion_tests
	cd $(TSAN_BUILD)/tests/e2e && TSAN_OPTIONS=halt_on_error=1 ./e2e_tests

$(BENCH_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMAPCONV_BENCH=ON

bench: deps $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# Every float bit pattern against the C library's "%.9G" (several minutes on all cores).
check-formatting: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target check_formatting -j $(JOBS)
	$(BUILD)/tools/check_formatting

$(FUZZ_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAPCONV_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++

fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake -S . -B $(FUZZ_BUILD) -DMAPCONV_WERROR=ON
	cmake --build $(FUZZ_BUILD) --target fuzz_programs -j $(JOBS)
	@if [ -n "$(FUZZ_SECONDS)" ]; then fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS); fi

# Every fuzz target for a short while on its seeds and saved regressions; fails on any finding.
fuzz-smoke: FUZZ_SECONDS =
fuzz-smoke: fuzz
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

# Builds only the two programs and the example writer, then converts the example.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target mapconv grd2ccp4 make_example
	@rm -rf examples/run && $(BUILD)/examples/make_example examples/run
	cd examples/run && $(abspath $(BUILD))/src/conversion/mapconv SILICON
	@echo "---- first lines of examples/run/SILICON.grd ----"
	@head -n 8 examples/run/SILICON.grd
	@echo "---- the CCP4/MRC map for viewers ----"
	cd examples/run && $(abspath $(BUILD))/src/grd2ccp4/grd2ccp4 SILICON.grd

# The programs in PREFIX/bin, the atom data in PREFIX/share/mapconv/data, the man pages in
# PREFIX/share/man/man1. The prefix is compiled into mapconv, so the build is reconfigured.
install: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(abspath $(PREFIX))
	cmake --build $(BUILD) -j $(JOBS) --target mapconv grd2ccp4
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
