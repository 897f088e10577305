#!/usr/bin/env bash
# Builds the program and shows a full update. With no hardware attached it runs
# against the simulated programmer and chip: the window when there is a display,
# the command-line tool otherwise. Pass arguments to choose yourself, e.g.
#   scripts/run.sh --simulate=usb,252     (window or console)
#   scripts/run.sh                        (same as --simulate)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--simulate)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/tvn2520ver "${args[@]}"
else
  echo "No display: running the update in the console (tvn2520ver-cli update ${args[*]})."
  exec ./build/tvn2520ver-cli update "${args[@]}"
fi
