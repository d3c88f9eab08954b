# Builds of one tree:
#   build/native   g++: libraries, test programs, benchmarks
#   build/windows  i686-w64-mingw32: patchmaker.exe, patchsetup.exe and the test
#                  .exe files (the 32-bit layouts are checked at compile time)
#   build/win64    x86_64-w64-mingw32: the same tests, for machines whose kernel
#                  cannot run 32-bit code (see scripts/wine-env.sh)
SHELL := /bin/bash
JOBS ?= $(shell nproc)
NATIVE := build/native
WINDOWS := build/windows
WIN64 := build/win64

.PHONY: all deps native windows win64 test test-native test-windows smoke e2e run wine-prefix bench fuzz check-sanitize clean

all: native windows

deps:
	@bash scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

$(WINDOWS)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)

windows: $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) -j$(JOBS)

win64: $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j$(JOBS)

wine-prefix:
	@bash scripts/wine-prefix.sh --start

test-native: native
	@bash scripts/run-ctest.sh $(NATIVE) native

# Builds the 32-bit programs and tests, then runs the tests under Wine from the
# build this machine can execute.
test-windows: windows
	@wb=$$(bash scripts/wine-build.sh); \
	if [ "$$wb" != windows ]; then $(MAKE) --no-print-directory win64; fi; \
	bash scripts/wine-prefix.sh --start && bash scripts/run-ctest.sh build/$$wb "wine $$wb"

# The programs under Wine + Xvfb, driven from outside: builds what the smoke
# scripts need in the build this machine's Wine runs, then runs every
# scripts/*-smoke.sh, each with its own prefix.
SMOKE_TARGETS := patchmaker patchsetup demo driver patchmaker_smoke patchsetup_smoke
smoke:
	@bash scripts/build-wine-targets.sh smoke $(SMOKE_TARGETS) || exit 1; \
	wb=$$(bash scripts/wine-build.sh); failed=0; \
	for s in scripts/*-smoke.sh; do \
	  name=$$(basename $$s .sh); start=$$(date +%s); \
	  if bash $$s >build/$$wb/$$name.out 2>&1; then rc=0; else rc=1; failed=1; fi; \
	  echo "[$$name] $$(tail -n 1 build/$$wb/$$name.out) ($$(( $$(date +%s) - start )) s)"; \
	  if [ $$rc -ne 0 ]; then echo "[$$name] failed:"; cat build/$$wb/$$name.out; fi; \
	done; \
	exit $$failed

# Both programs used end to end under Wine + Xvfb in a fresh prefix
# (scripts/e2e.sh); prints the scenario headings, every failed check with
# what the program showed, and the counts.
E2E_TARGETS := patchmaker patchsetup e2e
e2e:
	@bash scripts/build-wine-targets.sh e2e $(E2E_TARGETS) || exit 1; \
	wb=$$(bash scripts/wine-build.sh); \
	bash scripts/e2e.sh >build/$$wb/e2e.out 2>&1; rc=$$?; \
	grep -v '^ok ' build/$$wb/e2e.out | sed 's/^/[e2e] /'; \
	exit $$rc

# Installs what is missing, configures and builds, runs every test, the Wine
# smoke and end-to-end runs, a short fuzz run (30 s per target, side by side)
# and the sanitizer builds.
test: deps
	@$(MAKE) --no-print-directory test-native
	@$(MAKE) --no-print-directory test-windows
	@$(MAKE) --no-print-directory smoke
	@$(MAKE) --no-print-directory e2e
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=30
	@$(MAKE) --no-print-directory check-sanitize

# Builds patchmaker.exe for this machine's Wine and runs it until it is closed
# (headless under Xvfb when there is no display).
run: deps
	@bash scripts/build-wine-targets.sh run patchmaker && bash scripts/run-patchmaker.sh

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
