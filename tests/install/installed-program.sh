#!/usr/bin/env bash
# The installed program: `cmake --install` into a temporary prefix, the program's directory made
# read-only and a temporary XDG_DATA_HOME. The installed orvex-gcs must find its map page under
# <prefix>/share/orvex (not in the build folder) and write its files under $XDG_DATA_HOME/orvex,
# nothing beside itself. "--screenshot" saves its pictures and ends.
#   installed-program.sh BUILD_DIR VERSION
set -u
build=$1
version=$2
work=$(mktemp -d /tmp/orvex-install-XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/run.log" ] && grep -a '^orvex-gcs:' "$work/run.log"
  exit 1
}
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install"
for f in bin/orvex-gcs bin/orvex share/orvex/html/earth.htm share/orvex/OffLine/earth.htm \
         share/applications/orvex-gcs.desktop share/icons/hicolor/48x48/apps/orvex-gcs.png; do
  [ -s "$prefix/$f" ] || fail "$f not installed"
done
grep -qx 'Exec=orvex-gcs' "$prefix/share/applications/orvex-gcs.desktop" || fail "desktop entry without Exec"
[ "$("$prefix/bin/orvex-gcs" --version)" = "orvex-gcs $version" ] || fail "orvex-gcs --version"
[ "$("$prefix/bin/orvex" --version)" = "orvex $version" ] || fail "orvex --version"

chmod a-w "$prefix/bin"
mkdir -p "$work/data" "$work/home"
env HOME="$work/home" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
  timeout 120 "$prefix/bin/orvex-gcs" --no-splash --udp-port $((20000 + RANDOM % 20000)) \
  --http-port $((40000 + RANDOM % 20000)) --screenshot "$work/shots" < /dev/null > "$work/run.log" 2>&1 \
  || fail "orvex-gcs --screenshot exited with $?"

# The online page, or the offline one when the online page found no network.
grep -aqxE "orvex-gcs: map page file://$prefix/share/orvex/(html|OffLine)/earth.htm(\?[^ ]*)? ready" "$work/run.log" \
  || fail "the installed map page did not come up"
for f in mainwindow mainwindow-bars options-com options-waypoint about splash; do
  [ "$(head -c 4 "$work/shots/$f.png" 2>/dev/null | tail -c 3)" = PNG ] || fail "--screenshot did not save $f.png"
done
grep -aq '^Position=' "$work/data/orvex/Korva.ini" || fail "Korva.ini not written under XDG_DATA_HOME/orvex"
[ -d "$work/data/orvex/maps" ] || fail "the map store is not under XDG_DATA_HOME/orvex"
[ "$(ls -A "$prefix/bin" | sort | tr '\n' ' ')" = "orvex orvex-gcs " ] || fail "files written beside the program"
[ ! -e "$work/home/.local/share/orvex" ] || fail "files written under HOME instead of XDG_DATA_HOME"
echo "installed program: 1 passed, 0 failed"
