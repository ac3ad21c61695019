#!/usr/bin/env bash
# The first run on a fresh Debian 12 machine: installs the few packages the
# build needs, builds the command-line uploader (linux preset), and uploads
# the sample image to the simulated adapter's virtual device at address 7 in
# fast mode: the progress, the uploader's log and the device's verification.
# UPLOADER_BUILD_DIR picks another build folder (default build/linux).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${UPLOADER_BUILD_DIR:-build/linux}

echo "== Installing the build packages (scripts/setup-debian.sh quickstart)"
scripts/setup-debian.sh quickstart

echo "== Building uploader-cli in $build"
if ! configured=$(cmake --preset linux -B "$build" 2>&1); then
  echo "$configured"
  exit 1
fi
cmake --build "$build" --target uploader-cli

echo "== Uploading samples/demo-fixture.bin to the simulated device at address 7"
echo "\$ $build/cli/uploader-cli upload samples/demo-fixture.bin --adapter sim --fast --address 7"
exec "$build/cli/uploader-cli" upload samples/demo-fixture.bin --adapter sim --fast --address 7
