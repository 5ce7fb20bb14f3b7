#!/usr/bin/env bash
# Builds the module and the stand-in host (preset default) and runs the main job: corvel-host loads
# the real module binary as the host does (binding g_maxon, c4d_main actions 1 and 2, plug-in
# message 1), runs its registered command, shuts it down (action 3, unload) and prints the host
# console. Installs what the build needs on a fresh Debian 12 machine. Extra arguments go to
# `corvel-host run`, e.g. `scripts/run.sh --prefs /tmp/corvel.prefs`.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$corvel_root"

corvel_need_native_tools
corvel_log "Building (preset default)"
cmake --preset default >/dev/null
cmake --build --preset default -j "$corvel_jobs"

host="build/default/hostsim/corvel-host"
module="build/default/corvel.xso64"
[ -x "$host" ] || corvel_die "$host was not built"
[ -f "$module" ] || corvel_die "$module was not built"
corvel_log "$host run $module --execute $*"
exec "$host" run "$module" --execute "$@"
