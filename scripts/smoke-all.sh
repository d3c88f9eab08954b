#!/bin/bash
# Runs every scripts/*-smoke.sh, each with its own prefix, and prints each
# one's last line and time; the whole output of one that fails.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
failed=0
for s in "$root"/scripts/*-smoke.sh; do
  name=$(basename "$s" .sh)
  out="$root/build/windows/$name.out"
  start=$(date +%s)
  if bash "$s" >"$out" 2>&1; then rc=0; else rc=1; failed=1; fi
  echo "[$name] $(tail -n 1 "$out") ($(( $(date +%s) - start )) s)"
  if [ $rc -ne 0 ]; then echo "[$name] failed:"; cat "$out"; fi
done
exit $failed
