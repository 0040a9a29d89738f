#!/usr/bin/env bash
# Installs what is missing, builds Kova and starts it: the desktop program with
# an example simulation when a display is present, otherwise a headless
# demonstration with kova-cli.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

build=build/release
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/ui/kova" ]; then
  exec "$build/src/ui/kova" "simulations/flock.kvz"
fi

if [ -x "$build/src/cli/kova-cli" ]; then
  exec bash scripts/demo.sh
fi

echo "Built the engine and its tests; run scripts/test.sh to exercise them."
