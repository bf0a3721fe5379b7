#!/usr/bin/env bash
# Flats one PNG through the web page in headless Chromium (Vandrel Pro, or
# Auto Flats with --auto) and saves what a user would download, to compare
# with `vandrel flat` or `vandrel autoflat`.
# Usage: scripts/web-flat.sh IN.png OUT.png [--depth N] [--white]
#        scripts/web-flat.sh --auto IN.png OUT.png [vandrel autoflat options]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build-web.sh" >/dev/null
exec node "$root/web/tools/web-flat.mjs" "$@"
