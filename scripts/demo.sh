#!/usr/bin/env bash
# Builds the library and the demonstration program "survey" and runs it in a
# scratch directory with the shipped configuration file: first its help, then
# the survey itself (which writes the day's log file, the settings it used
# and its findings there).
set -eu
cd "$(dirname "$0")/.."
. scripts/host-setup.sh
ensure_build_tools
top=$(pwd)
cmake --preset demo >/dev/null
cmake --build --preset demo
work=$(mktemp -d)
cp examples/demo.ini "${work}/demo.ini"
cd "${work}"
echo "--- survey -h"
"${top}/build/demo/examples/survey" -h
echo
echo "--- survey -c demo.ini"
"${top}/build/demo/examples/survey" -c demo.ini
echo
echo "(the log file, effective.ini and the other results are in ${work})"
