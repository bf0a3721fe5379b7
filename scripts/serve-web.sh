#!/usr/bin/env bash
# Builds the web page and serves it from a plain static server on this
# machine; prints the address to open. Usage: scripts/serve-web.sh [PORT]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-web.sh >/dev/null
exec node web/tools/serve.mjs build/web "${1:-8017}"
