# Builds of one tree:
#   build/native   g++: libraries, test programs, benchmarks
#   build/windows  i686-w64-mingw32: the product, patchmaker.exe and
#                  patchsetup.exe, and the test .exe files, all run by wine32
# Every Wine run goes through scripts/wine32.sh, which makes 32-bit Wine run
# where the kernel runs no 32-bit code (qemu-i386 in a private namespace).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
NATIVE := build/native
WINDOWS := build/windows
WINE32 := bash scripts/wine32.sh

.PHONY: all deps native windows test test-native test-windows test-wine smoke e2e check-binaries run wine-prefix bench fuzz check-sanitize clean

all: native windows

deps:
	@bash scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

$(WINDOWS)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)

windows: $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) -j$(JOBS)

wine-prefix:
	@$(WINE32) bash scripts/wine-prefix.sh --start

test-native: native
	@bash scripts/run-ctest.sh $(NATIVE) native

# The 32-bit test programs under wine32.
test-windows: windows
	@$(WINE32) bash -c 'bash scripts/wine-prefix.sh --start && bash scripts/run-ctest.sh $(WINDOWS) "wine32 $$WINE32_WAY"'

# The programs under Wine + Xvfb, driven from outside: builds what the smoke
# scripts need, then runs every scripts/*-smoke.sh, each with its own prefix.
SMOKE_TARGETS := patchmaker patchsetup demo driver patchmaker_smoke patchsetup_smoke
smoke:
	@bash scripts/build-wine-targets.sh smoke $(SMOKE_TARGETS) || exit 1; \
	$(WINE32) bash scripts/smoke-all.sh

# Both programs used end to end under Wine + Xvfb in a fresh prefix
# (scripts/e2e.sh); prints the scenario headings, every failed check with
# what the program showed, and the counts.
E2E_TARGETS := patchmaker patchsetup e2e
e2e:
	@bash scripts/build-wine-targets.sh e2e $(E2E_TARGETS) || exit 1; \
	$(WINE32) bash scripts/e2e.sh >$(WINDOWS)/e2e.out 2>&1; rc=$$?; \
	grep -v '^ok ' $(WINDOWS)/e2e.out | sed 's/^/[e2e] /'; \
	exit $$rc

# What the loader and the shell read from the built programs: 32-bit,
# large-address-aware, a manifest that runs them as the invoking user.
check-binaries: $(NATIVE)/CMakeCache.txt
	@cmake --build $(NATIVE) --target pe_check >/dev/null && \
	bash scripts/build-wine-targets.sh binaries patchmaker patchsetup || exit 1; \
	$(NATIVE)/tests/pe_check $(WINDOWS)/patchmaker/patchmaker.exe $(WINDOWS)/patchsetup/patchsetup.exe \
	  | sed 's/^/[binaries] /'; exit $${PIPESTATUS[0]}

# Everything that runs under Wine, in one decision of how wine32 runs.
test-wine:
	@$(MAKE) --no-print-directory test-windows
	@$(MAKE) --no-print-directory smoke
	@$(MAKE) --no-print-directory e2e

# Installs what is missing, configures and builds, runs every test, checks the
# built programs, the Wine smoke and end-to-end runs, a short fuzz run (30 s per target, side by side)
# and the sanitizer builds.
test: deps
	@$(MAKE) --no-print-directory test-native
	@$(MAKE) --no-print-directory check-binaries
	@$(WINE32) $(MAKE) --no-print-directory test-wine
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=30
	@$(MAKE) --no-print-directory check-sanitize

# Builds the 32-bit patchmaker.exe and runs it under wine32 until it is closed
# (headless under Xvfb when there is no display).
run: deps
	@bash scripts/build-wine-targets.sh run patchmaker && $(WINE32) bash scripts/run-patchmaker.sh

# Benchmarks beside the oracle libraries, in one run (native, Release). Each
# also writes its results as JSON to build/bench/results, from which
# docs/performance.md is written again.
BENCH_RESULTS := build/bench/results
bench: deps
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build build/bench -j$(JOBS)
	@rm -rf $(BENCH_RESULTS) && mkdir -p $(BENCH_RESULTS)
	@for b in build/bench/bench/*_bench; do \
	  echo "== $$b"; \
	  $$b --benchmark_out=$(BENCH_RESULTS)/$$(basename $$b).json --benchmark_out_format=json || exit 1; \
	done
	@bash scripts/bench-report.sh $(BENCH_RESULTS) docs/performance.md

# libFuzzer targets (clang) in build/fuzz, each run FUZZ_SECONDS (default 30).
FUZZ_SECONDS ?= 30
fuzz:
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz.sh

# The native tests under ASan+UBSan (build/asan) and TSan (build/tsan).
check-sanitize:
	@bash scripts/check-sanitize.sh

clean:
	rm -rf build
