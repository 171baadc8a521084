#!/usr/bin/env bash
# Starts the emulator built in the given folder, in its window.
set -euo pipefail
build=${1:-build}
exec "$build/bin/tevrinemu"
