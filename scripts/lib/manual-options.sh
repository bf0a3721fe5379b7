#!/usr/bin/env bash
# Sourced. The manual page and --help are one text: the option lines --help
# prints for both commands must be the page's, in order.
# manual_matches_help TOOL PAGE (PAGE plain or gzipped)
manual_matches_help() {
    local help page
    help=$(for command in flat autoflat; do env -u VANDREL_PLUGIN "$1" "$command" --help; done |
        grep -E '^  -' | sed 's/  */ /g')
    page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$2" 2>/dev/null | grep -E '^ +-' |
        sed 's/^ *//; s/  */ /g; s/^/ /')
    [[ -n $help && $help == "$page" ]] && return 0
    diff <(echo "$help") <(echo "$page") >&2 || true
    return 1
}
