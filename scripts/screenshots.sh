#!/usr/bin/env bash
# Renders the main window in its No file, Ready and Busy states and the About box into
# docs/*.png under Xvfb.
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
cmake --build "$BUILD" --target nuvora-screenshots nuvora_data
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
    "$BUILD/tests-bin/nuvora-screenshots" "$BUILD/bin" "$ROOT/data/sample.mhx" "$ROOT/docs"
