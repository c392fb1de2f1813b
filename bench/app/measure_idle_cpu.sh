#!/usr/bin/env bash
# Measures the processor time of a page wait (static picture, animated page cursor, 60 Hz) in the
# real window under a virtual X server.
# Usage: measure_idle_cpu.sh [build folder] [seconds] [frames per change] [window|full] [cursor|whole]
set -euo pipefail
build="${1:-build}"
shift || true
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/idle_cpu" "$@"
