#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHVD_TESTS=OFF
cmake --build build/release
build/release/bin/velsh examples/smoke.tcl
build/release/bin/velsh examples/project.tcl
build/release/bin/velsh examples/child.tcl
build/release/bin/velsh examples/reconfiguration.tcl
