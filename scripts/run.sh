#!/usr/bin/env bash
# The main job: builds the module and the stand-in host (preset default; only the module with its
# resource folder and the host, not the tests) and shows what Corvel does.
# corvel-host loads the real module binary as the host application does, with the sample scene
# hostsim/scenes/shot-010.json (a 1920x1080 render setting with twelve render effects), opens the
# Corvel dialog and presses Render twice:
#   1. with the factory defaults, into the editor view;
#   2. into the Picture Viewer at 1:2, keeping parameter 5202 and pressing the render settings'
#      button 28501 instead of writing 7004.
# It then prints, per render, every parameter and effect side by side: what the document held
# before, what the render saw, and what the document holds after. Installs what the build needs on
# a fresh Debian 12 machine. Extra arguments go to `corvel-host run`.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$corvel_root"

corvel_need_native_tools
corvel_log "Building (preset default)"
cmake --preset default >/dev/null
cmake --build --preset default -j "$corvel_jobs" --target corvel corvel-host

host="build/default/hostsim/corvel-host"
module="build/default/corvel.xso64"
scene="hostsim/scenes/shot-010.json"
[ -x "$host" ] || corvel_die "$host was not built"
[ -f "$module" ] || corvel_die "$module was not built"

corvel_log "Corvel in the stand-in host, scene $scene"
cat <<'TEXT'
Corvel changes the active render settings for the moment of one render and puts them back at
once. Render 1 uses the factory defaults into the editor view: antialiasing none, current frame,
most features forced off, ten of the eleven effects it manages switched off. Render 2 goes to the
Picture Viewer at half size (1:2), keeps 5202, and presses the render settings' button 28501
(this scene's button sets 7004 and 5013). "after" must equal "before": nothing stays changed.
The host console follows, then the table.

TEXT
exec "$host" run "$module" --scene "$scene" --execute \
  --do click:10032 \
  --do set:10003=6031 --do set:10004=6042 --do set:10005=1 --do set:10012=1 --do set:10013=1 \
  --do click:10032 \
  --render-table --quiet "$@"
