#!/usr/bin/env bash
# Builds the library and the demonstration program natively and runs it in a
# scratch directory (it writes the day's log file there).
set -eu
cd "$(dirname "$0")/.."
cmake --preset native -DQORB_BUILD_TESTS=OFF >/dev/null
cmake --build --preset native --target qorb32n_demo
work=$(mktemp -d)
(cd "${work}" && "${OLDPWD}/build/native/examples/qorb32n_demo")
echo "(log files, if any, are in ${work})"
