# shellcheck shell=bash
# Sourced by the release scripts: the facts a release states, read from the
# one place each is kept.
#   release_version       the project's version (CMakeLists.txt)
#   plugin_info NAME      a VANDREL_NAME text of resources/PluginInfo.h
#   release_epoch         the time stamp release files carry: the last
#                         commit's, so a rebuild of a commit gives the same
#                         zip and package byte for byte

release_version() {
    sed -n 's/^project(VandrelPro VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt
}

plugin_info() {
    sed -n "s/^#define VANDREL_$1 \"\\(.*\\)\"\$/\\1/p" resources/PluginInfo.h
}

release_epoch() {
    git log -1 --format=%ct 2>/dev/null || date +%s
}
