#!/usr/bin/env bash
# Installs what is missing, builds the game and the sample game as the test command does, and
# starts the game on the sample game in a window. Options are passed to the game
# (build/bin/quibel --help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display to open the game's window on." >&2
  echo "Start it from a desktop session, or on a virtual display: xvfb-run -a ./scripts/run.sh" >&2
  command -v xvfb-run >/dev/null || echo "(xvfb-run comes with ./scripts/install-deps.sh)" >&2
  exit 1
fi

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
exec build/bin/quibel build/demo-data "$@"
