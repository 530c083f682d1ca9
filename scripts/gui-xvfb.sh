#!/usr/bin/env bash
# Starts kestrin as a user would: under a real X server (Xvfb, Qt's xcb platform) with a
# configuration file on its command line. Waits for the main window, saves a screenshot
# of the screen, presses Ctrl+Q and checks that the program ends with status 0.
#   scripts/gui-xvfb.sh [FILE.ini] [SCREENSHOT.png]
# Needs Xvfb and xdotool (scripts/install-deps.sh) and a build with the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KESTRIN_BUILD_DIR:-build}
file=${1:-examples/waveguide.ini}
shot=${2:-$build/screenshots/xvfb-main.png}
kestrin=$build/app/gui/kestrin
grab=$build/tests/gui/kestrin_xgrab
for tool in Xvfb xdotool "$kestrin" "$grab"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "gui-xvfb: missing $tool" >&2; exit 1; }
done
mkdir -p "$(dirname "$shot")"
tmp=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "gui-xvfb: Xvfb did not start" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$tmp/display")"
export QT_QPA_PLATFORM=xcb

"$kestrin" "$file" >"$tmp/kestrin.log" 2>&1 &
app_pid=$!
# The window's caption is "Kestrin" until a run starts.
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kestrin$' | head -n1) || true
[ -n "$window" ] || { echo "gui-xvfb: no main window appeared" >&2; cat "$tmp/kestrin.log" >&2; exit 1; }
sleep 1 # let it paint
"$grab" "$shot"
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+q
status=0
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "gui-xvfb: kestrin did not quit on Ctrl+Q" >&2
  exit 1
fi
wait "$app_pid" || status=$?
app_pid=""
if [ "$status" -ne 0 ]; then
  echo "gui-xvfb: kestrin ended with status $status" >&2
  cat "$tmp/kestrin.log" >&2
  exit 1
fi
echo "gui-xvfb: main window of $file shown, screenshot $shot, Ctrl+Q quit with status 0"
