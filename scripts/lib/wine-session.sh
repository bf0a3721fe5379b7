# shellcheck shell=bash
# Sourced by the scripts that run Windows programs: a wine prefix and a
# virtual screen of the script's own, both gone when the script exits, and
# every wine or X step under a time limit, so nothing can hang a CI run.
#
#   wine_session_start   finds wine, starts Xvfb and creates the prefix;
#                        exports WINEPREFIX, WINEDEBUG, WINEARCH and DISPLAY and
#                        sets $wine, $wineserver and $scratch (a private folder).
#                        Returns 2 when wine cannot run on this machine, with
#                        the reason in $wine_skip_reason; exits when Xvfb fails.
#   wine_wait            waits until every wine process of the prefix has ended
#   winpath PATH         the Windows name of a Linux path (Z:\...)

wine=""
wineserver=""
scratch=""
wine_xvfb_pid=""
wine_skip_reason=""

wine_session_cleanup() {
    if [[ -n "$scratch" && -n "$wineserver" ]]; then
        # Every wine process of our prefix ends with its server.
        WINEPREFIX=$scratch/prefix timeout 30 "$wineserver" -k 2>/dev/null || true
        WINEPREFIX=$scratch/prefix timeout 30 "$wineserver" -w 2>/dev/null || true
    fi
    if [[ -n "$wine_xvfb_pid" ]]; then kill "$wine_xvfb_pid" 2>/dev/null || true; fi
    [[ -n "$scratch" ]] && rm -rf "$scratch"
    return 0
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }

wine_wait() { timeout 120 "$wineserver" -w; }

# wine_skip_reason is read by the scripts that source this file.
# shellcheck disable=SC2034
wine_session_start() {
    local candidate
    for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
        if [[ -n "$candidate" && -x "$candidate" ]]; then wine=$candidate; break; fi
    done
    for candidate in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
        if [[ -n "$candidate" && -x "$candidate" ]]; then wineserver=$candidate; break; fi
    done
    if [[ -z "$wine" || -z "$wineserver" ]]; then
        wine_skip_reason="no wine64 loader on this machine"
        return 2
    fi
    if ! command -v Xvfb >/dev/null; then
        echo "Xvfb is missing: Windows programs here run on a virtual screen" >&2
        echo "(scripts/install-deps.sh --all installs it)" >&2
        exit 1
    fi

    trap wine_session_cleanup EXIT
    # A run stopped from outside (CI's time limit, Ctrl-C) still cleans up.
    trap 'exit 130' INT TERM

    scratch=$(mktemp -d /tmp/vandrel-wine.XXXXXX)
    export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEARCH=win64
    # No prompts to install wine's .NET or HTML engines into the new prefix.
    export WINEDLLOVERRIDES="mscoree=;mshtml="

    # A screen of our own: Xvfb picks a free display number and writes it.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
    wine_xvfb_pid=$!
    for _ in $(seq 100); do [[ -s "$scratch/display" ]] && break; sleep 0.1; done
    if [[ ! -s "$scratch/display" ]]; then
        cat "$scratch/xvfb.log" >&2
        echo "Xvfb did not start" >&2
        exit 1
    fi
    DISPLAY=:$(head -n1 "$scratch/display")
    export DISPLAY

    if ! timeout 180 "$wine" wineboot -i >"$scratch/wineboot.log" 2>&1; then
        cat "$scratch/wineboot.log"
        wine_skip_reason="wine cannot create a prefix on this machine"
        return 2
    fi
}
