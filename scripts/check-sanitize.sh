#!/bin/bash
# The native test suite under ASan+UBSan (build/asan) and TSan (build/tsan).
# Oracles off: the distribution libraries are not instrumented.
set -uo pipefail
JOBS=${JOBS:-$(nproc)}
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1
failed=0
run() {
  local dir="$1" flags="$2" start=$(date +%s)
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_ORACLES=OFF \
    -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$JOBS" >"$dir/build.log" 2>&1 || { tail -n 50 "$dir/build.log"; return 1; }
  (cd "$dir" && ctest --output-on-failure --timeout 1200 -j"$JOBS" >ctest.log 2>&1)
  local rc=$?
  if grep -qE 'ERROR: (Address|Leak|Thread)Sanitizer|WARNING: ThreadSanitizer|runtime error:' "$dir/Testing/Temporary/LastTest.log"; then rc=1; fi
  echo "[$(basename "$dir")] $(grep -E 'tests passed|tests failed' "$dir/ctest.log") ($(( $(date +%s) - start )) s)"
  [ $rc -eq 0 ] || { tail -n 100 "$dir/ctest.log"; grep -A20 -E 'Sanitizer|runtime error' "$dir/Testing/Temporary/LastTest.log" | head -80; }
  return $rc
}
mkdir -p build
run build/asan "-fsanitize=address,undefined" || failed=1
run build/tsan "-fsanitize=thread" || failed=1
exit $failed
