#!/usr/bin/env bash
# The Krita plug-in's tests, in Debian's Krita (scripts/install-deps.sh --all)
# with no screen: kritarunner runs tests/krita/krita_tests.py against the
# plug-in staged from this tree, on pages drawn by tests/krita/krita_pages.py
# and flatted by `vandrel flat` / `vandrel autoflat` for comparison; then the
# plug-in's zip is imported into a fresh Krita resource folder, as Tools >
# Scripts > Import Python Plugin from File does, and must load from there.
# Ends with "N passed, N failed"; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if ! command -v kritarunner >/dev/null; then
    echo "test-krita: kritarunner is missing (scripts/install-deps.sh --all installs krita)" >&2
    echo "0 passed, 1 failed"
    exit 1
fi

[[ -f build/linux/build.ninja ]] || cmake --preset linux >/dev/null
cmake --build --preset linux --target vandrel vandrel_api >/dev/null
vandrel=$root/build/linux/bin/vandrel

work=$root/build/krita-tests
# Krita's first start in a home folder builds its resource database (close
# to a minute): the tests' own home is kept between runs.
find "$work" -mindepth 1 -maxdepth 1 ! -name home -exec rm -rf {} + 2>/dev/null || true
mkdir -p "$work/pages" "$work/out" "$work/home"
scripts/make-krita-plugin.sh --stage "$work/stage"
python3 tests/krita/krita_pages.py "$work/pages"

(
    cd "$work/pages"
    "$vandrel" flat -q -o flat_rgba.png page_rgba.png
    "$vandrel" flat -q --depth 3 --white -o flat_rgba_d3w.png page_rgba.png
    "$vandrel" flat -q -o flat_cmyk.tif page_cmyk.tif
    "$vandrel" flat -q --depth 5 --white -o flat_cmyka_d5w.tif page_cmyka.tif
    "$vandrel" autoflat -q -o auto.png lineart.png
    "$vandrel" autoflat -q --hints hints.png -o auto_hints.png lineart.png
    "$vandrel" autoflat -q --gap 4 -o auto_clear_gap4.png lineart_clear.png
    "$vandrel" autoflat -q --hints hints_cmyk.tif -o auto_cmyk_hints.tif lineart_cmyk.tif
    "$vandrel" autoflat -q --gap 4 -o auto_gap4.png lineart.png
    "$vandrel" autoflat -q -o auto_revised.png lineart_revised.png
    "$vandrel" autoflat -q --like auto.png -o auto_revised_like.png lineart_revised.png
    "$vandrel" autoflat -q --palette palette.gpl --threshold 200 -o auto_palette_t200.png lineart.png
) >/dev/null

# Krita keeps its settings and resources under the home folder: a private
# one, so that no user's Krita is touched and every run starts fresh.
krita_run() {
    local home=$1 module=$2
    shift 2
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
        XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen "$@" \
        timeout 300 kritarunner -s "$module" -f main 2>&1 | grep -E '^(PASS|FAIL)' || true
}
mkdir -p "$work/home/runtime" && chmod 700 "$work/home/runtime"

results=$(krita_run "$work/home" krita_tests PYTHONPATH="$root/tests/krita:$work/stage" \
    VANDREL_KRITA_PAGES="$work/pages" VANDREL_KRITA_OUT="$work/out")

# The zip as a user downloads it (with the Linux library only: the Windows
# one needs the cross build), imported by Krita's own importer.
zip_file=$work/vandrel-krita-test.zip
(cd "$work/stage" && find vandrel_krita.desktop vandrel_krita | LC_ALL=C sort | zip -q -X "$zip_file" -@)
fresh=$work/fresh-home
resources=$fresh/data/kritarunner
mkdir -p "$resources" "$fresh/config" "$fresh/runtime" && chmod 700 "$fresh/runtime"
importer=/usr/share/krita/pykrita/plugin_importer
if python3 -c "import builtins, sys; builtins.i18n = str; sys.path.insert(0, '$importer'); import plugin_importer as p; \
        print('\n'.join(x['name'] for x in p.PluginImporter('$zip_file', '$resources', lambda x: True).import_all()))" \
        >"$work/imported.txt" 2>&1 && grep -qx vandrel_krita "$work/imported.txt"; then
    results+=$'\n'"PASS: the zip is imported by Krita's plug-in importer"
else
    results+=$'\n'"FAIL: the zip is imported by Krita's plug-in importer: $(tr '\n' ' ' <"$work/imported.txt")"
fi
printf '[python]\nenable_vandrel_krita=true\n' >"$fresh/config/kritarunnerrc"
cp "$fresh/config/kritarunnerrc" "$fresh/config/kritarc"
results+=$'\n'$(krita_run "$fresh" krita_installed PYTHONPATH="$root/tests/krita" \
    VANDREL_KRITA_RESOURCES="$resources")

# Undo needs a window: a private Krita with one, under Xvfb, runs
# tests/krita/krita_undo.py from a start-up plug-in and ends itself.
gui=$work/home/gui
plugin_dir=$gui/data/krita/pykrita
mkdir -p "$plugin_dir/vandrel_gui_tests" "$gui/config" "$gui/runtime" && chmod 700 "$gui/runtime"
cp tests/krita/krita_gui_start.py "$plugin_dir/vandrel_gui_tests/__init__.py"
printf '[Desktop Entry]\nType=Service\nServiceTypes=Krita/PythonPlugin\nX-KDE-Library=vandrel_gui_tests\nX-Python-2-Compatible=false\nName=Vandrel GUI tests\n' \
    >"$plugin_dir/vandrel_gui_tests.desktop"
printf '[python]\nenable_vandrel_gui_tests=true\n' >"$gui/config/kritarc"
if command -v xvfb-run >/dev/null; then
    env HOME="$gui" XDG_CONFIG_HOME="$gui/config" XDG_DATA_HOME="$gui/data" XDG_CACHE_HOME="$gui/cache" \
        XDG_RUNTIME_DIR="$gui/runtime" PYTHONPATH="$root/tests/krita:$work/stage" VANDREL_KRITA_PAGES="$work/pages" \
        VANDREL_KRITA_RESULTS="$work/undo.txt" timeout 300 xvfb-run -a krita --nosplash >"$work/gui.log" 2>&1 || true
fi
if [[ -s $work/undo.txt ]]; then
    results+=$'\n'$(grep -E '^(PASS|FAIL)' "$work/undo.txt")
else
    results+=$'\n'"FAIL: the undo tests came back from Krita's window (xvfb-run and krita; see $work/gui.log)"
fi

echo "$results" | sed '/^$/d'
passed=$(grep -c '^PASS' <<<"$results" || true)
failed=$(grep -c '^FAIL' <<<"$results" || true)
# A test module that died before reporting leaves fewer lines than tests.
expected=28
if ((passed + failed < expected)); then
    echo "FAIL: only $((passed + failed)) of $expected results came back from Krita"
    failed=$((failed + expected - passed - failed))
fi
echo "$passed passed, $failed failed"
((failed == 0))
