#!/usr/bin/env bash
# Sets up the machine, then builds and runs the whole test suite twice (an
# optimised build and a sanitizer build), then the optimised suite again at
# lower instruction-set levels. Any failure fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/setup.sh"
for flavour in release asan; do
  echo "== $flavour build"
  bash "$root/scripts/build.sh" "$flavour"
  echo "== $flavour tests"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$root/build/$flavour" --output-on-failure -j "$(nproc)"
done

# Every dispatcher again at the scalar and the SSE2 level, so the reference
# code and the baseline vector forms are proven against the same expectations.
for level in 0 3; do
  echo "== release tests at instruction-set level $level"
  STELOX_TEST_SIMD_LEVEL=$level "$root/build/release/tests/stelox_tests" --gtest_brief=1
done
