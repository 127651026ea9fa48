#!/usr/bin/env bash
# Static checks of the core (src/ minus src/ui): cppcheck, then clang-tidy with
# the repository's .clang-tidy, over the compile commands of BUILDDIR.
#   tools/static/run.sh BUILDDIR
# Fails on any finding. A finding that stays is suppressed inline with a reason.
set -euo pipefail
cd "$(dirname "$0")/../.."
bdir=$1
db="$bdir/compile_commands.json"
[ -f "$db" ] || { echo "static: no $db (configure first)" >&2; exit 1; }
mapfile -t files < <(find src -name '*.cpp' -not -path 'src/ui/*' | sort)
echo "static: ${#files[@]} core files"

start=$SECONDS
cppcheck --quiet --std=c++20 --language=c++ --enable=warning,performance,portability \
  --inline-suppr --error-exitcode=1 -j2 -I src -D__GNUC__ \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  "${files[@]}"
echo "cppcheck: clean ($((SECONDS - start)) s)"

start=$SECONDS
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
printf '%s\n' "${files[@]}" | xargs -P 2 -n 4 "$tidy" -p "$bdir" --quiet 2>/dev/null
echo "clang-tidy: clean ($((SECONDS - start)) s)"
