#!/usr/bin/env bash
# A system-wide install leaves the program folder read-only for its users:
# belcor must still start there; closing its window reports the settings it
# could not write in an error box ("Unable to write to ..."), and once that
# box is closed the program ends with exit code 0, having written nothing.
# Runs on an Xvfb screen so that the window is closed as a window manager
# closes it; as root, the program runs as nobody. It is started through a
# launcher link in another folder, as /usr/bin/belcor starts it, so it must
# find the simulator beside its real executable.
# usage: check-readonly-gui.sh BIN_DIR
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done
runner=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "setpriv is missing"; exit 77; }
  runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

work=$(mktemp -d /tmp/belcor-rogui.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
app=$work/belcor-folder
mkdir "$app" "$work/runtime" "$work/bin"
cp "$bin/belcor" "$bin/belcor.Dat" "$bin/libbelcor_sim.so" "$app/"
ln -s ../belcor-folder/belcor "$work/bin/belcor"
chmod -R a-w "$app" "$work/bin"
[ ${#runner[@]} -eq 0 ] || chown 65534 "$work/runtime"
chmod 700 "$work/runtime"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>"$work/xvfb.log" &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(cat "$work/display")

find "$app" -printf '%p %s %T@ %m\n' | sort >"$work/before"
# libdbus, which Qt's xcb platform loads, keeps memory to the end on purpose.
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
(cd / && exec "${runner[@]}" env HOME=/nonexistent XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
  LSAN_OPTIONS=suppressions="$work/lsan.supp" "$work/bin/belcor" --simulator) >"$work/app.log" 2>&1 &
app_pid=$!

windows() { python3 "$here/x11_windows.py" "$@"; }
alive() { kill -0 "$app_pid" 2>/dev/null; }
# Wait for the main window, then close it.
for _ in $(seq 150); do
  alive || break
  [ -n "$(windows list)" ] && break
  sleep 0.2
done
alive || { cat "$work/app.log"; echo "belcor ended before showing its window"; exit 1; }
sleep 1
windows close >/dev/null
reported=no
for _ in $(seq 150); do
  alive || break
  if windows list | grep -q ' Error$'; then
    windows close Error >/dev/null
    reported=yes
  fi
  sleep 0.2
done
if [ "$reported" != yes ]; then
  echo "no error box said that the settings could not be written"
  exit 1
fi
if alive; then
  windows list
  echo "belcor did not end within 30 s of closing its window"
  exit 1
fi
status=0
wait "$app_pid" || status=$?
app_pid=
find "$app" -printf '%p %s %T@ %m\n' | sort >"$work/after"
if ! diff "$work/before" "$work/after"; then
  echo "belcor changed its read-only folder"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  cat "$work/app.log"
  echo "belcor ended with exit code $status"
  exit 1
fi
echo "closed with exit code 0 after the error box; nothing written"
