#!/usr/bin/env bash
# Renders the README's pictures into docs/: the setup dialog, the main window connected to the emulated
# repeater with the Rx PLL alarm lit, the air log window, the alarm history window and the find bar, on a
# virtual X display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
cmake --preset debug
cmake --build --preset debug --target render_screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" build/debug/bin/render_screenshots docs
