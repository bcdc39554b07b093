#!/usr/bin/env bash
# The style check of ./test and CI: clang-format over every tracked .cpp and .h (no file may change), then
# with OSTRELL_TIDY=1 clang-tidy with the repository's .clang-tidy over the sources of src/ and tools/
# that the compile database lists (the build's generated moc files are left out). Either fails on any
# finding.
#   scripts/check-style.sh [BUILD_DIR]     BUILD_DIR (default build) holds compile_commands.json
#   -j N (env JOBS)                        parallel clang-tidy runs (default: the number of cores)
# A file clang-tidy passed is remembered under ${XDG_CACHE_HOME:-~/.cache}/ostrell/clang-tidy, keyed by
# everything that can change the verdict: the file, every project header, the compile command, the
# configuration, the clang-tidy version and the Qt and C++ library packages. A file with findings is
# never remembered, so it is checked and reported again on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-$(nproc)}
if [ "${1:-}" = "-j" ]; then jobs=$2; shift 2; fi
build=${1:-build}
format=$(command -v clang-format-14 || command -v clang-format || true)
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
[ -n "$format" ] && [ -n "$tidy" ] || { echo "check-style: clang-format and clang-tidy are needed" >&2; exit 2; }
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

# --- clang-tidy: the sources of src/ and tools/ in the compile database. Not yet part of ./test: the
# tree still has findings (chiefly public state fields), and a cold run takes minutes on two cores.
if [ "${OSTRELL_TIDY:-0}" != 1 ]; then
  echo "check-style: clang-tidy not run (OSTRELL_TIDY=1 runs it)"
  exit "$status"
fi
mapfile -t sources < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$db" | grep -E "^$root/(src|tools)/" | sort -u)
[ ${#sources[@]} -gt 0 ] || { echo "check-style: $db lists no source of src/ or tools/" >&2; exit 2; }
cache=${XDG_CACHE_HOME:-$HOME/.cache}/ostrell/clang-tidy
mkdir -p "$cache"
versions=$("$tidy" --version; dpkg-query -W qt6-base-dev 'libstdc++-*-dev' 2>/dev/null || true)
common=$( { echo "$versions"; cat .clang-tidy; git ls-files -z src tools | grep -z '\.h$' | xargs -0 cat; } |
          sha256sum | cut -c1-64)
export root tidy cache common db
check_one() {
  local file=$1 key log
  # The file's own compile command (the lines between its "directory" and "file" entries).
  key=$( { echo "$common"; grep -B3 -F "\"file\": \"$file\"" "$db"; cat "$file"; } | sha256sum | cut -c1-64)
  [ -f "$cache/$key" ] && return 0
  # Every finding is an error here, so the exit status alone tells (a crash or a compile error too).
  if ! log=$(nice "$tidy" -p "$(dirname "$db")" --quiet --warnings-as-errors='*' \
               --header-filter="^$root/(src|tools)/" "$file" 2>&1); then
    printf '%s\n' "$log" | grep -vE '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? (generated|treated as errors)' ||
      true
    echo "check-style: clang-tidy failed on $file"
    return 1
  fi
  touch "$cache/$key"
}
export -f check_one
tidy_start=$SECONDS
if ! printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "$jobs" bash -c 'check_one "$1"' _ > "$build/tidy.log"; then
  # A header's finding shows once per file that includes it: each distinct one once.
  grep -E '^/.*: (warning|error): ' "$build/tidy.log" | sort -u || true
  echo "check-style: clang-tidy findings by check:"
  grep -E '^/.*: (warning|error): ' "$build/tidy.log" | sort -u | grep -oE '\[[a-z0-9.,-]+\]$' |
    sed 's/,-warnings-as-errors//' | sort | uniq -c | sort -rn || true
  echo "check-style: clang-tidy found problems (full output in $build/tidy.log)"
  status=1
fi
echo "check-style: clang-tidy checked ${#sources[@]} files with $jobs jobs ($((SECONDS - tidy_start)) s)"
echo "check-style: $([ $status = 0 ] && echo clean || echo FAILED) in ${SECONDS} s"
exit $status
