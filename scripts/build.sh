#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh release   optimised build in build/release
#   scripts/build.sh asan      AddressSanitizer + UBSan build in build/asan
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}

case "$flavour" in
  release)
    options=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)
    # The sanitizer build runs the tests only: no benchmarks, no demo.
    options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTELOX_SANITIZE=ON
             -DSTELOX_BUILD_BENCH=OFF -DSTELOX_BUILD_DEMO=OFF) ;;
  *)
    echo "usage: $0 [release|asan]" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$root/build/$flavour" -G Ninja "${options[@]}" >/dev/null
cmake --build "$root/build/$flavour" -j "$(nproc)"
