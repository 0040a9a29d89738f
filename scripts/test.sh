#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test suite. Usage: scripts/test.sh [preset]   (default: release)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"

bash scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
