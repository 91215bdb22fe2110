#!/usr/bin/env bash
# Installs what is missing, builds Korvane and starts it on the sample archive
# (or on the archive named as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_TESTS=OFF -DKORVANE_BENCH=OFF >/dev/null
cmake --build build-run --target korvane -j "$(nproc)"

archive="${1:-samples/sample.SC4Model}"
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname)" = "Linux" ]; then
  cat >&2 <<MSG
Korvane is built (build-run/src/app/korvane), but this machine has no display
to show its window on: neither DISPLAY nor WAYLAND_DISPLAY is set.

Run it from a terminal of a desktop session:
    bash scripts/run.sh
or from another machine with X forwarding:
    ssh -X this-machine 'cd $(pwd) && bash scripts/run.sh'
or on a virtual display (apt-get install xvfb) with a VNC or screenshot tool:
    xvfb-run -s "-screen 0 1280x800x24" build-run/src/app/korvane $archive
MSG
  exit 1
fi
exec build-run/src/app/korvane "$archive"
