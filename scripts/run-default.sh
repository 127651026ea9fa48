#!/usr/bin/env bash
# The main job, run from a built tree: the window on the mice that are
# plugged in, or on two virtual mice when no supported mouse is. Without a
# desktop session it says how to get one and shows the same mice from the
# command line. ARGS go to the programs (e.g. --user-dir DIR, -s).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/default/bin
data=build/default/share/tolvane

sim=()
case " $* " in
  *" --simulate "*) ;;  # the caller chose the mice
  *)
    if "$bin/tolvanectl" "$@" list 2>/dev/null | grep -q '^no device connected'; then
      # The virtual mice keep their EEPROM in the user data folder, so what
      # the window changes is still there at the next start.
      appdir=$(sed -n 's/^[[:space:]]*[Aa][Pp][Pp][Dd][Ii][Rr][[:space:]]*=[[:space:]]*\([^[:space:];]*\).*/\1/p' \
               "$data/cfg.ini" | head -n 1 | tr -d '\r')
      dir="${XDG_DATA_HOME:-$HOME/.local/share}/${appdir:-Tolvane}/virtual-mice"
      mkdir -p "$dir"
      sim=(--simulate "pro:eeprom=$dir/mouse0.bin"
           --simulate "pro+:link=wireless,eeprom=$dir/mouse1.bin")
      echo "No supported mouse attached: running on two virtual mice (a wired PRO and a wireless PRO+), EEPROM images in $dir"
    fi
    ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "The window needs a desktop session (neither \$DISPLAY nor \$WAYLAND_DISPLAY is set)."
  echo "To run it under a virtual X server:"
  echo "  xvfb-run -a $bin/tolvane ${sim[*]} $*"
  echo "Meanwhile the same mice from the command line (tolvanectl list, show):"
  "$bin/tolvanectl" "${sim[@]}" "$@" list
  exec "$bin/tolvanectl" "${sim[@]}" "$@" show
fi
exec "$bin/tolvane" "${sim[@]}" "$@"
