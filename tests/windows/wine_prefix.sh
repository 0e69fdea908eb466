#!/usr/bin/env bash
# Makes the tests' Wine prefix once (its first start takes a while) and
# waits until Wine has settled.  wine_prefix.sh NAME=VALUE...
set -euo pipefail
export "$@"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # No X server here: the first start needs none.
  DISPLAY= wineboot -i > /dev/null 2>&1
fi
wineserver -w
echo "Wine prefix ready: $WINEPREFIX"
