# shellcheck shell=bash
# Sourced by the release tests: runs one check, says ok or FAILED, and
# counts failures in $failures so a script reports every fault before it exits.
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}
