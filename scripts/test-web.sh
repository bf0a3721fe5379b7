#!/usr/bin/env bash
# The web page's tests: the engine built to WebAssembly with no network,
# then the page in headless Chromium against `vandrel flat` and `vandrel
# autoflat` (from the linux preset, which must be built first), and the
# unit tests of the page's modules.
#   scripts/test-web.sh          all of them
#   scripts/test-web.sh --page   the page in Chromium only (scripts/check.sh
#                                runs the unit tests)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ! -x build/linux/bin/vandrel ]]; then
    echo "test-web: build/linux/bin/vandrel is missing: build the linux preset first" >&2
    exit 1
fi
if unshare --net true 2>/dev/null; then
    scripts/build-web.sh --offline
else
    echo "test-web: cannot drop the network here; building the engine as usual"
    scripts/build-web.sh
fi
source scripts/lib/web-tests.sh
mapfile -t tests < <(web_tests page)
[[ "${1:-}" == "--page" ]] || mapfile -t -O "${#tests[@]}" tests < <(web_tests unit)
cd web
# A test that hangs (a browser that stops answering) fails after a quarter of
# an hour instead of holding the run until its own limit.
node --test --test-concurrency=1 --test-timeout=900000 "${tests[@]}"
