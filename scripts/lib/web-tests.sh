# shellcheck shell=bash
# Sourced by the scripts that run the web page's tests, which come in two
# kinds: unit tests of the page's modules under Node.js alone, and tests of
# the built page in headless Chromium (those drive it with the page driver).
#   web_tests unit|page   prints the test files of that kind, relative to web/
web_tests() {
    local kind=$1 file
    for file in "$(dirname "${BASH_SOURCE[0]}")"/../../web/test/*.test.mjs; do
        if grep -q "tools/PageDriver.mjs" "$file"; then
            [[ $kind == page ]] && echo "test/${file##*/}"
        else
            [[ $kind == unit ]] && echo "test/${file##*/}"
        fi
    done
    return 0
}
