# The two README commands, `make run` and `make test`, and a few helpers.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD?= build-bench
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
FALLBACK_BUILD ?= build-fallbacks
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
# Warnings stop the build only when asked (`make test WERROR=ON`, as CI does): each target sets
# the option of its build folder anew, so no earlier call leaves it behind.
WERROR     ?= OFF
# `make fuzz FUZZ_SECONDS=N` also runs every fuzz target for N seconds.
FUZZ_SECONDS ?=
FUZZ_SMOKE_SECONDS ?= 15

# The nested makes of the CMake builds would otherwise announce every directory they enter.
MAKEFLAGS += --no-print-directory

# The Debian packages, one list per use; each target checks the lists of what it does.
# Building and running: compiler, CMake, gemmi's headers (CCP4/MRC maps, CIF models) with the
# PEGTL headers its CIF reader needs, and GoogleTest, which the configuration of build/ looks for
# even when only the programs are built.
BUILD_PACKAGES := cmake make g++ gemmi-dev tao-pegtl-dev libgtest-dev
# Added for the tests: groff (man page checks), dpkg-dev (the Debian package test builds one),
# lintian (checks it), python3-mrcfile (the strict MRC2014 validator), pymol (opens the map
# headless), python3-gemmi (reads the space group back from a map), python3-numpy (checks the
# heights of grdpeaks on its own), strace (fault injection), chromium (renders grdsection's
# pictures headless) and librsvg2-bin (rsvg-convert parses them).
TEST_PACKAGES := groff-base dpkg-dev lintian python3-mrcfile pymol python3-gemmi python3-numpy strace \
  chromium librsvg2-bin
# Added for fuzzing: Clang with its libFuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev
# Added for the benchmarks and for `make deb` (dpkg-shlibdeps computes the dependencies).
BENCH_PACKAGES := libbenchmark-dev
# The formatter whose output the sources keep (`make format`, and CI's check).
FORMAT_PACKAGES := clang-format-14
DEB_PACKAGES := dpkg-dev
# Added for the Windows build: the MinGW-w64 cross compiler (its posix flavour has std::thread)
# and wine, which runs the Windows programs and tests.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine wine64
# `make ... PACKAGE_CHECK=no` skips the check, as the installation test does.
PACKAGE_CHECK ?= yes
# A build of its own for `make install` and `make deb`: the prefix is compiled into mapconv,
# and build/ keeps the one it was configured with.
INSTALL_BUILD ?= build-install
DEB_BUILD ?= build-deb

.PHONY: all deps deps-build deps-test deps-fuzz deps-bench deps-deb deps-windows build run test check test-portable \
        test-asan test-tsan test-fallbacks fault-sweep bench check-formatting fuzz fuzz-smoke \
        install deb windows test-windows windows-zip clean format

all: build

# Installs the packages of $(1) that are missing; says nothing when all are there.
define ensure_packages
@if [ "$(PACKAGE_CHECK)" != no ]; then \
  missing=""; \
  if command -v dpkg >/dev/null 2>&1; then \
    for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
  fi; \
  if [ -n "$$missing" ]; then \
    if [ "$$(id -u)" -ne 0 ]; then \
      echo "Missing packages:$$missing; install them as root with" \
           "apt-get install -y$$missing" >&2; exit 1; \
    fi; \
    echo "Installing$$missing"; \
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
  fi; \
fi
endef

# Every list: what CI needs for the tests and the fuzz runs.
deps:
	$(call ensure_packages,$(BUILD_PACKAGES) $(TEST_PACKAGES) $(FUZZ_PACKAGES) $(BENCH_PACKAGES) \
	  $(FORMAT_PACKAGES) $(WINDOWS_PACKAGES))
deps-build:
	$(call ensure_packages,$(BUILD_PACKAGES))
deps-test:
	$(call ensure_packages,$(BUILD_PACKAGES) $(TEST_PACKAGES))
deps-fuzz:
	$(call ensure_packages,$(BUILD_PACKAGES) $(TEST_PACKAGES) $(FUZZ_PACKAGES))
deps-bench:
	$(call ensure_packages,$(BUILD_PACKAGES) $(BENCH_PACKAGES))
deps-deb:
	$(call ensure_packages,$(BUILD_PACKAGES) $(DEB_PACKAGES))
deps-windows:
	$(call ensure_packages,$(BUILD_PACKAGES) $(TEST_PACKAGES) $(WINDOWS_PACKAGES))

$(BUILD)/CMakeCache.txt: | deps-build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps-build $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Every test, the package, installation and viewer tests (CTest label `system`) included.
test: deps-test $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The unit and end-to-end tests only (CTest labels `unit` and `e2e`): the quick check of a change.
check: deps-test $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L '^(unit|e2e)$$'

# The end-to-end tests with the programs kept on their portable code (no AVX2): the files must be
# the same as on the vector code, which the other targets take on this processor.
test-portable: deps-test $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target e2e_tests
	cd $(BUILD)/tests/e2e && MAPCONV_PORTABLE=1 ./e2e_tests --gtest_brief=1

$(ASAN_BUILD)/CMakeCache.txt: | deps-test
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMAPCONV_SANITIZE=ON

test-asan: deps-test $(ASAN_BUILD)/CMakeCache.txt
	cmake -S . -B $(ASAN_BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The tests of the threaded conversion under ThreadSanitizer: the grid writer in process, and
# whole runs of a ThreadSanitizer build of mapconv on one and two threads.
$(TSAN_BUILD)/CMakeCache.txt: | deps-test
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread

test-tsan: deps-test $(TSAN_BUILD)/CMakeCache.txt
	cmake -S . -B $(TSAN_BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target conversion_tests e2e_tests
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/tests/conversion/conversion_tests
	cd $(TSAN_BUILD)/tests/e2e && TSAN_OPTIONS=halt_on_error=1 ./e2e_tests

# The POSIX fallbacks of the Linux-only calls, as a POSIX system without them builds them.
$(FALLBACK_BUILD)/CMakeCache.txt: | deps-test
	cmake -S . -B $(FALLBACK_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAPCONV_POSIX_FALLBACKS=ON

test-fallbacks: deps-test $(FALLBACK_BUILD)/CMakeCache.txt
	cmake -S . -B $(FALLBACK_BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(FALLBACK_BUILD) -j $(JOBS)
	cd $(FALLBACK_BUILD) && ctest --output-on-failure -j $(JOBS) -LE '^system$$'

# The Windows build: both programs, their unit tests and the test drivers, cross-compiled with
# MinGW-w64. Wine runs in a prefix of the build's own, with one wineserver for the whole run.
# A program that crashes under wine ends there, rather than waiting in wine's debugger.
WINE_ENV = WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wine-prefix WINEDEBUG=-all \
  WINEDLLOVERRIDES=winedbg.exe=d
WINDOWS_PROGRAMS = $(abspath $(WINDOWS_BUILD))/programs
WINDOWS_ZIP = $(abspath $(WINDOWS_BUILD))/mapconv-$(VERSION)-windows-x86_64.zip
# The third word of "project(mapconv VERSION 1.0 ...)".
VERSION = $(word 3,$(shell grep -m1 '^project' CMakeLists.txt))

$(WINDOWS_BUILD)/CMakeCache.txt: | deps-windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release

windows: deps-windows $(WINDOWS_BUILD)/CMakeCache.txt
	cmake -S . -B $(WINDOWS_BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@mkdir -p $(WINDOWS_PROGRAMS)
	cp $(WINDOWS_BUILD)/src/conversion/mapconv.exe $(WINDOWS_BUILD)/src/grd2ccp4/grd2ccp4.exe \
	  $(WINDOWS_BUILD)/src/grdpeaks/grdpeaks.exe $(WINDOWS_BUILD)/src/grdsection/grdsection.exe \
	  $(WINDOWS_BUILD)/tests/startup/console_driver/console_driver.exe \
	  $(WINDOWS_BUILD)/tests/startup/strtrn_driver/strtrn_driver.exe $(WINDOWS_PROGRAMS)

# The zip's example is written by the example writer of the Linux build.
windows-zip: windows $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target make_example
	cmake -S . -B $(WINDOWS_BUILD) -DMAPCONV_EXAMPLE_WRITER=$(abspath $(BUILD))/examples/make_example
	cmake --build $(WINDOWS_BUILD) --target windows_zip
	@ls $(WINDOWS_ZIP)

# The Windows unit tests under wine, then the end-to-end tests of the Linux build driving the
# Windows programs (each run compared with the Linux program's files), and the zip unpacked.
test-windows: windows-zip $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target e2e_tests startup_tests grd2ccp4_tests mapconv \
	  make_example
	@# The wineserver, and wine's services with it, started here: a service started by the first
	@# test would hold that test's output open, and CTest would wait for it.
	@mkdir -p $(WINDOWS_BUILD)/wine-prefix
	$(WINE_ENV) wineserver -p
	$(WINE_ENV) wineboot -i >/dev/null 2>&1
	@# Wine's own loader now and then fails an assertion as a process ends, after the program
	@# has done its work ("Inconsistency detected by ld.so: dl-fini.c"): a test that fails is run
	@# again, up to three times; a fault of the program fails every time.
	status=0; \
	(cd $(WINDOWS_BUILD) && $(WINE_ENV) ctest --output-on-failure -j $(JOBS) \
	  --repeat until-pass:3) || status=1; \
	for t in e2e/e2e_tests startup/startup_tests grd2ccp4/grd2ccp4_tests; do \
	  echo "---- $$t, driving the Windows programs"; \
	  run="cd $(BUILD)/tests/$$(dirname $$t) && $(WINE_ENV) \
	    MAPCONV_TEST_WINDOWS_PROGRAMS=$(WINDOWS_PROGRAMS) MAPCONV_TEST_WINDOWS_ZIP=$(WINDOWS_ZIP) \
	    ./$$(basename $$t) --gtest_brief=1"; \
	  (eval "$$run") || { echo "---- $$t again"; (eval "$$run"); } || status=1; \
	done; \
	$(WINE_ENV) wineserver -k; exit $$status

# Every scenario of the fault sweep, each call of the kinds that change files failed in turn (and
# a spread of the reads and seeks); FULL=1 fails every call of every kind.
fault-sweep: deps-test build
	FAULT_SWEEP_FULL=$(if $(FULL),1,0) $(BUILD)/tests/faults/fault_sweep

$(BENCH_BUILD)/CMakeCache.txt: | deps-bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMAPCONV_BENCH=ON

bench: deps-bench $(BENCH_BUILD)/CMakeCache.txt
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# Every float bit pattern against the C library's "%.9G" (several minutes on all cores).
check-formatting: deps-build $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target check_formatting -j $(JOBS)
	$(BUILD)/tools/check_formatting

$(FUZZ_BUILD)/CMakeCache.txt: | deps-fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAPCONV_FUZZ=ON \
	  -DCMAKE_CXX_COMPILER=clang++

fuzz: deps-fuzz $(FUZZ_BUILD)/CMakeCache.txt
	cmake -S . -B $(FUZZ_BUILD) -DMAPCONV_WERROR=$(WERROR)
	cmake --build $(FUZZ_BUILD) --target fuzz_programs -j $(JOBS)
	@if [ -n "$(FUZZ_SECONDS)" ]; then fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS); fi

# Every fuzz target for a short while on its seeds and saved regressions; fails on any finding.
fuzz-smoke: FUZZ_SECONDS =
fuzz-smoke: fuzz
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

# Builds only the two programs and the example writer, then converts the example.
run: deps-build $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target mapconv grd2ccp4 grdpeaks_program grdsection_program \
	  make_example
	@rm -rf examples/run && $(BUILD)/examples/make_example examples/run
	cd examples/run && $(abspath $(BUILD))/src/conversion/mapconv SILICON
	@echo "---- first lines of examples/run/SILICON.grd ----"
	@head -n 8 examples/run/SILICON.grd
	@echo "---- the CCP4/MRC map for viewers ----"
	cd examples/run && $(abspath $(BUILD))/src/grd2ccp4/grd2ccp4 SILICON.grd
	@echo "---- the map's summary and peaks ----"
	cd examples/run && $(abspath $(BUILD))/src/grdpeaks/grdpeaks SILICON
	@echo "---- a section through its atoms ----"
	cd examples/run && $(abspath $(BUILD))/src/grdsection/grdsection SILICON

# The programs in PREFIX/bin, the atom data in PREFIX/share/mapconv/data, the man pages in
# PREFIX/share/man/man1. Only the programs are built, in a build folder of its own.
install: deps-build
	cmake -S . -B $(INSTALL_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(abspath $(PREFIX))
	cmake --build $(INSTALL_BUILD) -j $(JOBS) --target mapconv grd2ccp4 grdpeaks_program grdsection_program
	cmake --install $(INSTALL_BUILD)

# The Debian package, mapconv_<version>_<architecture>.deb in $(DEB_BUILD): built for /usr, with
# only the programs compiled (the install step of CPack would otherwise build every target).
deb: deps-deb
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build $(DEB_BUILD) -j $(JOBS) --target mapconv grd2ccp4 grdpeaks_program grdsection_program
	cd $(DEB_BUILD) && cpack -G DEB
	@ls $(DEB_BUILD)/*.deb

format:
	$(call ensure_packages,$(FORMAT_PACKAGES))
	clang-format-14 -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(INSTALL_BUILD) \
	  $(DEB_BUILD) $(WINDOWS_BUILD) $(FALLBACK_BUILD)
