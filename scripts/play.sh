#!/usr/bin/env bash
# Installs what is missing, builds the game, and starts it from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "quillory: no display found (DISPLAY is not set); run this from a desktop session" >&2
  exit 1
fi
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target quillory
exec build/release/quillory
