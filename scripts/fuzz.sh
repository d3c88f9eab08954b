#!/bin/bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for
# FUZZ_SECONDS (default 30) on its corpus; fails on any crash, leak or report.
# clang cannot turn UTF-8 literals into GBK, so it compiles a copy of the
# sources converted to GBK (build/fuzz/src); unchanged files keep their time.
set -uo pipefail
SECONDS_PER_TARGET=${FUZZ_SECONDS:-30}
JOBS=${JOBS:-$(nproc)}
root=$(pwd)
src=build/fuzz/src
obj=build/fuzz/obj
mkdir -p "$src" "$obj"
while IFS= read -r f; do
  mkdir -p "$src/$(dirname "$f")"
  tmp="$src/$f.tmp"
  case "$f" in
    *.cpp|*.h|*.inc|*.c) iconv -f UTF-8 -t GBK "$f" >"$tmp" || { echo "fuzz: cannot convert $f"; exit 1; } ;;
    *) cp "$f" "$tmp" ;;
  esac
  if cmp -s "$tmp" "$src/$f"; then rm "$tmp"; else mv "$tmp" "$src/$f"; fi
done < <(find CMakeLists.txt cmake crypto host patchmaker patchsetup fuzz tests/support tests/patchmaker \
           -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' -o -name '*.c' -o -name '*.S' -o -name 'CMakeLists.txt' -o -name '*.cmake' \) | sort)
start=$(date +%s)
if [ ! -f "$obj/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$src" -B "$obj" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_FUZZERS=ON \
    -DBUILD_TESTING=OFF -DWITH_ORACLES=OFF >build/fuzz/configure.log 2>&1 || { cat build/fuzz/configure.log; exit 1; }
fi
targets=$(sed -n 's/^foreach(t \(.*\))$/\1/p' fuzz/CMakeLists.txt)
if [ "${1:-}" = "--seeds" ]; then
  # Rewrites the seed corpora from the fixtures' builders.
  cmake --build "$obj" -j"$JOBS" --target seed_writer >build/fuzz/build.log 2>&1 || { tail -n 30 build/fuzz/build.log; exit 1; }
  rm -rf fuzz/corpus && "$obj/fuzz/seed_writer" "$root/fuzz/corpus" && du -sh fuzz/corpus/*
  exit $?
fi
cmake --build "$obj" -j"$JOBS" --target $targets >build/fuzz/build.log 2>&1 || { grep -E 'error|warning' build/fuzz/build.log | head -50; tail -n 20 build/fuzz/build.log; exit 1; }
echo "[fuzz] built in $(( $(date +%s) - start )) s"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The targets run side by side (one core each); the results are read in order.
declare -A pid_of
for t in $targets; do
  corpus="build/fuzz/corpus/$t"
  mkdir -p "$corpus" "build/fuzz/artifacts/$t"
  "$obj/fuzz/$t" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build/fuzz/artifacts/$t/" "$corpus" "fuzz/corpus/$t" >"build/fuzz/$t.log" 2>&1 &
  pid_of[$t]=$!
  # No more at once than there are cores.
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do sleep 1; done
done
failed=0
for t in $targets; do
  wait "${pid_of[$t]}"
  rc=$?
  log="build/fuzz/$t.log"
  stats=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -n 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  [ -z "$execs" ] && execs=$(sed -E -n 's/^#([0-9]+).*/\1/p' <<<"$stats")
  cov=$(grep -oE 'cov: [0-9]+' <<<"$stats" | tail -n 1)
  if [ $rc -eq 0 ]; then
    echo "[fuzz] $t: ok, ${execs:-?} runs in ${SECONDS_PER_TARGET} s, ${cov:-cov: ?}"
  else
    failed=1
    echo "[fuzz] $t: FAILED (rc $rc), see $log"
    grep -E -A30 'ERROR|property failed|runtime error|deadly signal' "$log" | head -n 60
  fi
done
exit $failed
