# shellcheck shell=bash
# Sourced by the scripts that use the web page's npm packages (its build
# tools, linter and test helpers): web_packages installs them exactly as
# web/package-lock.json pins them, when they are missing or older than it.
# --ignore-scripts: no package may run an installer (esbuild's binary comes
# in its platform package all the same), and none downloads a browser.
web_packages() {
    local web
    web="$(dirname "${BASH_SOURCE[0]}")/../../web"
    if [[ ! -f $web/node_modules/.package-lock.json || $web/package-lock.json -nt $web/node_modules/.package-lock.json ]]; then
        (cd "$web" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    fi
}
