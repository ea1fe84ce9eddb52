#!/bin/sh
# Screenshots of the Windows program under Xvfb, for a person to look at:
#   tests/win32/screenshots.sh [OUTPUT_DIRECTORY]   (default build/mingw/screenshots)
# Builds screenshot_scenes, then takes the Options tab and the Results tab with
# groups in English and in German, and the window at its smallest size.
# It uses a Wine prefix of its own: a wineserver started without a display
# draws nothing, and the shared prefix's server must not be killed.
set -eu
cd "$(dirname "$0")/../.."
out=$(realpath -m "${1:-build/mingw/screenshots}")
mkdir -p "$out"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j 2 --target screenshot_scenes
export WINEPREFIX="$PWD/build/mingw/wine-screenshots"
scripts/prepare-wine
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

cat >"$out/take.sh" <<'EOF'
#!/bin/sh
# Runs inside xvfb-run: one scene at a time, then the whole screen.
set -u
. scripts/wine-env
exe=build/mingw/tests/win32/screenshot_scenes.exe
out=$1
shot() {
  name=$1; shift
  ready="$out/$name.ready"
  rm -f "$ready"
  wine "$exe" "$@" "$(winepath -w "$ready")" &
  pid=$!
  for _ in $(seq 1 300); do [ -f "$ready" ] && break; sleep 0.2; done
  sleep 0.5
  import -window root "$out/$name.png"
  rm -f "$ready"
  wait "$pid" 2>/dev/null
  echo "$out/$name.png"
}
shot options-english
shot results-english --results
shot options-german --german
shot results-german --german --results
shot smallest-english --results --small
wineserver -k
wineserver -w
EOF
xvfb-run -a -s "-screen 0 1280x1024x24" sh "$out/take.sh" "$out"
rm -f "$out/take.sh"
