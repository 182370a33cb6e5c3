#!/usr/bin/env bash
# The main job on the bundled default: summarise the sample image.
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
exec "$ROOT/build/bin/nuvora-cli" info "$ROOT/data/sample.mhx"
