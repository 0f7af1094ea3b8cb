#!/usr/bin/env bash
# Sets up, builds, and scans the bundled demo mailbox.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target mendora-cli
build/src/cli/mendora-cli scan samples/demo.dbx
