#!/usr/bin/env bash
# The style check of ./test and CI: clang-format over every tracked .cpp and .h (no file may change), then
# clang-tidy with the repository's .clang-tidy over every source of the tree that the compile
# database lists (scripts/tidy-check.py: generated moc files left out, a clean file remembered by a hash
# of itself, its project headers, its compile command and the configuration). Either fails on any finding.
#   scripts/check-style.sh [-j N] [BUILD_DIR]   BUILD_DIR (default build) holds compile_commands.json
#   -j N (env JOBS)                             parallel clang-tidy runs (default: the number of cores)
#   OSTRELL_TIDY=0                              formatting only (a quick local look)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
if [ "${1:-}" = "-j" ]; then jobs=$2; shift 2; fi
build=${1:-build}
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || { echo "check-style: clang-format is needed" >&2; exit 2; }
db=$build/compile_commands.json
[ -f "$db" ] || { echo "check-style: no $db (configure with cmake first)" >&2; exit 2; }

SECONDS=0
status=0
# --- Formatting: every tracked C++ file, as .clang-format says.
mapfile -t tracked < <(git ls-files '*.cpp' '*.h')
[ ${#tracked[@]} -gt 0 ] || { echo "check-style: no tracked C++ files found" >&2; exit 2; }
if ! printf '%s\0' "${tracked[@]}" | xargs -0 -n 40 -P "$jobs" "$format" --dry-run --Werror 2> "$build/format.log"; then
  grep -E '^[^ ].*: error:' "$build/format.log" | sed 's/:[0-9]*:[0-9]*: error: .*//' | sort | uniq -c |
    awk '{ print "  needs clang-format: " $2 " (" $1 " findings)" }'
  echo "check-style: formatting differs (see $build/format.log; fix with: clang-format -i FILE)"
  status=1
fi
echo "check-style: clang-format checked ${#tracked[@]} files (${SECONDS} s)"

# --- clang-tidy: every source in the compile database (src, tools, tests, fuzz, bench), once clean remembered
# (scripts/tidy-check.py). OSTRELL_TIDY=0 leaves it out of a local run; ./test and CI always run it.
if [ "${OSTRELL_TIDY:-1}" = 0 ]; then
  echo "check-style: clang-tidy not run (OSTRELL_TIDY=0)"
else
  scripts/tidy-check.py --build "$build" -j "$jobs" || status=1
fi
echo "check-style: $([ $status = 0 ] && echo clean || echo FAILED) in ${SECONDS} s"
exit $status
