#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and starts Vestra2007 in workdir/, which holds the settings file pcol.dat, a
# sample photo sequence and a sample video on first run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

mkdir -p workdir
# Default tolerances: any channel at 215 or more counts as marker white (darkness 40); the
# brightness tolerance only matters when negative, so 0 leaves bright pixels alone.
[ -f workdir/pcol.dat ] || printf '0,40\r\n' > workdir/pcol.dat
[ -f "workdir/samples/sample(001).bmp" ] || build/tools/vestra2007-samples workdir/samples 30
[ -f workdir/samples/sample.mp4 ] || build/tools/vestra2007-samples --video workdir/samples/sample.mp4 300

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'MSG'
Vestra2007 is built, but there is no display to show its window on (DISPLAY is not set).
Run it on a virtual X display instead:
    xvfb-run -a -s '-screen 0 1280x1024x24' bash scripts/run.sh
or connect to a desktop session (e.g. ssh -X) and run this command again.
MSG
    exit 1
fi
cd workdir
exec ../build/app/vestra2007
