#!/usr/bin/env bash
# Sets up the machine, then builds and runs the whole test suite twice: an
# optimised build and a sanitizer build. Any failure fails the script.
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
