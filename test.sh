#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exit status is the tests' result.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tollenby_ensure_packages
cmake --preset default
cmake --build --preset default
ctest --preset default
