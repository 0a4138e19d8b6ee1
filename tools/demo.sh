#!/usr/bin/env bash
# The main job of `make demo`; later work extends it.
set -euo pipefail
BUILD=${1:-build}
echo "Built programs:"
ls -1 "$BUILD/bin" 2>/dev/null || true
