#!/usr/bin/env bash
# Builds the library and the demonstration program and runs it in a scratch
# directory (it writes the day's log file there).
set -eu
cd "$(dirname "$0")/.."
. scripts/host-setup.sh
ensure_build_tools
top=$(pwd)
cmake --preset demo >/dev/null
cmake --build --preset demo
work=$(mktemp -d)
(cd "${work}" && "${top}/build/demo/examples/qorb32n_demo")
echo "(the log file is in ${work})"
