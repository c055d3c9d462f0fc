# The two README commands, `make run` and `make test`, and a few helpers.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
JOBS       ?= $(shell nproc)

.PHONY: all build run test test-asan bench check-formatting clean format

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMAPCONV_SANITIZE=ON

test-asan: $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

$(BENCH_BUILD)/CMakeCache.txt:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMAPCONV_BENCH=ON

bench: $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# Every float bit pattern against the C library's "%.9G" (several minutes on all cores).
check-formatting: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target check_formatting -j $(JOBS)
	$(BUILD)/tools/check_formatting

run: build
	@rm -rf examples/run && $(BUILD)/examples/make_example examples/run
	cd examples/run && ../../$(BUILD)/src/conversion/mapconv SILICON
	@echo "---- first lines of examples/run/SILICON.grd ----"
	@head -n 8 examples/run/SILICON.grd

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
