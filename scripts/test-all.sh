#!/usr/bin/env bash
# Everything, as CI runs it: installs every dependency, builds every target
# (native, sanitizers, both Windows plug-ins and their release files, the
# WebAssembly page) and runs every test suite, formatting and lint included.
# The quick check (scripts/check.sh) comes first: its native build is the
# one every later stage uses, and no suite it runs is run again here.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
# Each stage's heading says when it began, so a slow stage shows in the log.
stage() { printf '\n==== %s (at %d s) ====\n' "$*" $((SECONDS - started)); }

stage "dependencies"
scripts/install-deps.sh --all

stage "the quick check: formatting and lint, native build and tests, the web page's unit tests"
scripts/check.sh

stage "Windows plug-ins, wine scenarios and dist/"
scripts/run-windows-tests.sh

stage "release: Windows zip and installer, Debian package; installer under wine, package tests"
scripts/make-release.sh
scripts/test-windows-release.sh
scripts/test-deb.sh

# The quick check ran before they existed and skipped these.
stage "the native suite's checks of the Windows files"
ctest --preset linux -L '^resources$'

stage "the auto-flats benchmark's own measures"
/usr/bin/python3 -m unittest discover -s bench -p 'autoflat_*_test.py'

stage "web page: both filters as WebAssembly, in headless Chromium against the command-line tool"
scripts/test-web.sh --page

stage "Krita plug-in: both filters inside Debian's Krita against the command-line tool"
scripts/test-krita.sh

stage "sanitizers: ASan+UBSan over every suite, TSan over the threaded ones, leak check"
scripts/run-sanitizers.sh

stage "fuzz targets, 10 seconds each"
scripts/run-fuzzers.sh 10

printf '\n==== all done in %d s ====\n' $((SECONDS - started))
