#!/bin/sh
# The bench under its usual name: tools/bench.py (its settings and output: docs/benchmarks.md).
exec python3 "$(dirname "$0")/../tools/bench.py" "$@"
