#!/usr/bin/env bash
# Refreshes docs/about.png: the About dialog under a virtual X server.
# Needs xvfb and imagemagick (apt-get install xvfb xauth imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default -DNODREL_BUILD_TOOLS=ON >/dev/null
cmake --build --preset default --target nodrel_about_screenshot >/dev/null
xvfb-run -a -s "-screen 0 640x480x24" build/default/tools/nodrel_about_screenshot docs/about.png
echo "docs/about.png written"
