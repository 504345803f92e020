#!/usr/bin/env bash
# The everyday loop: configures build/release once (the release preset), builds what
# changed and runs the unit tests: every test of that build but the real window, which
# has a command of its own (scripts/window.sh; see CONTRIBUTING.md). Extra arguments go
# to ctest, e.g. -R GameRules.
# Usage: scripts/unit.sh [ctest argument...]
set -euo pipefail
cd "$(dirname "$0")/.."
# The packages for the build alone (the slow checks need more: scripts/setup.sh --tests).
scripts/setup.sh
if [[ ! -f build/release/CMakeCache.txt ]]; then cmake --preset release >/dev/null; fi
cmake --build --preset release
ctest --preset unit "$@"
