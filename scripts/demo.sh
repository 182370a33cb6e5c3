#!/usr/bin/env bash
# The main job on the bundled default: summarise the sample image.
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
# With a display, the window itself, wired to the simulator; without one, the terminal run.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$ROOT/build/bin/Nuvora" ] \
    && [ -x "$ROOT/build/bin/nuvora-devsim" ]; then
    exec "$ROOT/scripts/demo-window.sh" "$@"
fi
exec "$ROOT/build/bin/nuvora-cli" info "$ROOT/data/sample.mhx"
