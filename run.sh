#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tollenby.
#   ./run.sh          the program, pointed at the built-in directory site
#   ./run.sh --demo   the bundled demo directory site on 127.0.0.1, and the program pointed at it
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tollenby_ensure_packages
cmake --preset default >/dev/null
cmake --build --preset default

if [ "${1:-}" = "--demo" ]; then
  port="${TOLLENBY_DEMO_PORT:-8737}"
  ./build/tollenby-demo-site --port "$port" &
  demo_pid=$!
  trap 'kill "$demo_pid" 2>/dev/null || true' EXIT
  export TOLLENBY_SEARCH_HOST="127.0.0.1:$port"
  echo "Demo directory site on http://$TOLLENBY_SEARCH_HOST/"
  ./build/tollenby
else
  exec ./build/tollenby
fi
