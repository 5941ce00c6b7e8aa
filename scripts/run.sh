#!/usr/bin/env bash
# Sets up the machine, builds the optimised flavour and runs the main job.
# Arguments are passed on to stelox-run (none: the built-in default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" release >/dev/null
"$root/build/release/tools/stelox-run/stelox-run" "$@"
