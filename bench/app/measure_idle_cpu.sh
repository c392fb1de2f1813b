#!/usr/bin/env bash
# Measures the processor time of a page wait (static picture, blinking cursor, 60 Hz) in the
# real window under a virtual X server. Usage: measure_idle_cpu.sh [build folder] [seconds]
set -euo pipefail
build="${1:-build}"
seconds="${2:-10}"
exec xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/idle_cpu" "$seconds"
