#!/usr/bin/env bash
# Wall time of one collection run over the demo site's misbehaving pages, beside its designed bound.
# Takes about a minute and a half: the slowest pages are given their full time-outs.
#   bench/misbehaving_run.sh [--threads N]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target misbehaving_run >/dev/null
exec ./build/bench/misbehaving_run "$@"
