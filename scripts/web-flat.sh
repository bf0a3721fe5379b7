#!/usr/bin/env bash
# Flats one PNG through the web page in headless Chromium and saves what a
# user would download, to compare with `vandrel flat`.
# Usage: scripts/web-flat.sh IN.png OUT.png [--depth N] [--white]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build-web.sh" >/dev/null
exec node "$root/web/tools/web-flat.mjs" "$@"
