#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the bundled example.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/build.sh
example=examples/waveguide.ini
echo "== ksn check $example"
./build/app/cli/ksn check "$example"
