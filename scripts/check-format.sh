#!/usr/bin/env bash
# Fails when the tree strays from its one style or a linter finds a fault:
#   C++         clang-format, as .clang-format says
#   shell       shellcheck, every script and the helpers they source
#   Python      flake8 (pyflakes' faults and pycodestyle's layout)
#   JavaScript  eslint, as web/eslint.config.js says
# Every checker runs, so one run reports every finding.
#   scripts/check-format.sh         check
#   scripts/check-format.sh --fix   rewrite the C++ files in place
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t cpp < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc' '*.c')
if [[ "${1:-}" == "--fix" ]]; then
    clang-format -i "${cpp[@]}"
    exit 0
fi
mapfile -t shell < <(git ls-files '*.sh' .ci/run)
mapfile -t python < <(git ls-files '*.py')

failed=()
run() {
    local what=$1
    shift
    if "$@"; then echo "$what: clean"; else failed+=("$what"); fi
}
run "C++ (${#cpp[@]} files)" clang-format --dry-run -Werror "${cpp[@]}"
# -x follows the helpers a script sources, so their names are known.
run "shell (${#shell[@]} files)" shellcheck -x "${shell[@]}"
# Lines as long as the C++ allows and a little more: the scripts' argument
# lists read better whole than wrapped at 79.
run "Python (${#python[@]} files)" flake8 --max-line-length=120 "${python[@]}"
source scripts/lib/web-packages.sh
web_packages
run "JavaScript (web/)" bash -c 'cd web && npx --no-install eslint --max-warnings 0 .'

if ((${#failed[@]})); then
    echo "check-format: findings in ${failed[*]}" >&2
    exit 1
fi
