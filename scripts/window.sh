#!/usr/bin/env bash
# Plays the game in a real X window under Xvfb and checks its screenshots (the
# real_window_play test), on the release build: builds the game and the checker first.
# Usage: scripts/window.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
if [[ ! -f build/release/CMakeCache.txt ]]; then cmake --preset release >/dev/null; fi
cmake --build --preset release --target quillory window_shot_check
ctest --preset release -R '^real_window_play$'
