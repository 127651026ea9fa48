#!/usr/bin/env bash
# Runs every fuzz target in BINDIR for SECONDS on a copy of its seed corpus
# (and regression inputs), with the extra options of <target>.flags; fails when a target finds a crash, a leak or a hang.
#   tools/fuzz/run_all.sh BINDIR SECONDS
set -uo pipefail
bindir=$(cd "$1" && pwd) || { echo "fuzz: no folder $1" >&2; exit 1; }
secs=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/tolvane-fuzzrun-XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
ran=0
for bin in "$bindir"/fuzz_*; do
  name=$(basename "$bin")
  [ -x "$bin" ] || continue
  mkdir -p "$work/$name" "$work/art"
  cp "$here/corpus/$name"/* "$work/$name"/ 2>/dev/null || true
  [ -d "$here/regress/$name" ] && cp "$here/regress/$name"/* "$work/$name"/ 2>/dev/null
  log="$work/$name.log"
  extra=()
  [ -f "$here/$name.flags" ] && read -r -a extra < "$here/$name.flags"
  if (cd "$work" && TMPDIR="$work" "$bin" -max_total_time="$secs" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/art/$name-" ${extra[@]+"${extra[@]}"} "$work/$name" >"$log" 2>&1); then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $name: ok, ${runs:-?} runs in ${secs} s"
  else
    echo "fuzz $name: FAILED"
    tail -n 60 "$log"
    for a in "$work"/art/"$name"-*; do
      [ -f "$a" ] && echo "crashing input ($a): $(od -An -tx1 -v "$a" | head -c 3000)"
    done
    failed=$((failed + 1))
  fi
  ran=$((ran + 1))
done
echo "fuzz: $ran targets, $failed failed"
[ "$ran" -gt 0 ] && [ "$failed" -eq 0 ]
