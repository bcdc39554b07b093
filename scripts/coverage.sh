#!/usr/bin/env bash
# Line coverage of src/ over the whole ctest suite, fakes excluded: a Debug build with --coverage in
# build-cov/ (or $1), then gcovr's summary. Run it before and after a change to the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-cov}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DOSTRELL_BUILD_BENCH=OFF >/dev/null
nice cmake --build "$dir" -j2
find "$dir" -name '*.gcda' -delete
# The fuzzers run in their own clang build and cover nothing here.
(cd "$dir" && ctest -j2 --timeout 600 -E fuzz | tail -n 3) || true
gcovr --root . --filter 'src/' --gcov-ignore-parse-errors \
  --print-summary --txt "$dir/coverage.txt" "$dir" | tail -n 3
