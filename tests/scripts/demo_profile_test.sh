#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/demo runs the viewer on a profile of its own: with a settings file
# of the person's own in place, the viewer still starts on the demo server,
# and the person's file is left byte for byte as it was.
# Arguments: the source folder and the build folder. Exit 77: skipped.
set -euo pipefail
src=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if (exec 3<>/dev/tcp/127.0.0.1/1818) 2>/dev/null; then
  echo "skipped: port 1818 is in use (a demo running?)"
  exit 77
fi

# The person's own settings, with a server of their own.
mine="$tmp/home/.local/share/Zorvan/settings.dat"
mkdir -p "$(dirname "$mine")" "$tmp/home/.config"
cat >"$mine" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>0</key><dict><key>name</key><string>Mine</string>
<key>host</key><string>127.0.0.1</string><key>port</key><string>9</string>
<key>isSelected</key><true/></dict><key>server_count</key><integer>1</integer>
<key>cameraIdx</key><integer>2</integer></dict></plist>
PLIST
cp "$mine" "$tmp/before"
touch -d '2020-01-01' "$mine"

# The viewer runs offscreen for a few seconds and is ended as a person's
# quit would end it; its log tells which server it asked.
cat >"$tmp/viewer" <<VIEWER
#!/usr/bin/env bash
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='zorvan.*=true' timeout -s TERM 4 "$build/src/app/zorvan" 2>"$tmp/viewer.log" || true
VIEWER
chmod +x "$tmp/viewer"

profile="$tmp/build/demo-profile"
mkdir -p "$tmp/build/src/app" "$tmp/build/tools/demo-server"
ln -s "$build/tools/demo-server/zorvan-demo-server" "$tmp/build/tools/demo-server/"
HOME="$tmp/home" XDG_DATA_HOME= XDG_CONFIG_HOME= DISPLAY=:none ZORVAN_DEMO_SKIP_BUILD=1 \
  ZORVAN_DEMO_BUILD="$tmp/build" ZORVAN_DEMO_VIEWER="$tmp/viewer" \
  bash "$src/scripts/demo" >"$tmp/demo.log" 2>&1

fail=0
cmp -s "$mine" "$tmp/before" || { echo "FAIL: the person's settings file changed"; fail=1; }
[ "$(stat -c %Y "$mine")" = "$(date -d 2020-01-01 +%s)" ] || { echo "FAIL: the person's settings file was rewritten"; fail=1; }
grep -q "<string>Demo Server</string>" "$profile/data/Zorvan/settings.dat" 2>/dev/null ||
  { echo "FAIL: the demo profile does not hold the demo server"; fail=1; }
grep -q "<string>1818</string>" "$profile/data/Zorvan/settings.dat" 2>/dev/null ||
  { echo "FAIL: the demo profile's server is not the demo server's port"; fail=1; }
if [ "$fail" != 0 ]; then
  echo "--- demo log"; cat "$tmp/demo.log"; echo "--- viewer log"; cat "$tmp/viewer.log" || true
  exit 1
fi
echo "PASS"
