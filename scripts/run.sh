#!/usr/bin/env bash
# The README's first command: installs what the native build needs, builds the
# plugin and the host simulator, and runs the simulator against the plugin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh native
cmake --preset linux-x64 >/dev/null
cmake --build --preset linux-x64 --target host_sim norv_plugin
exec build/linux-x64/tools/host-sim/host_sim "$@"
