#!/usr/bin/env bash
# Builds qorb32n.dll for x86-64 and i686 Windows with MinGW-w64 and runs the
# test suite under wine64 in a throw-away Wine prefix; the i686 tests run
# where a 32-bit Wine is installed, and otherwise only the check of the i686
# DLL's export table does. Ends with one line "windows: N passed, N failed";
# exits 3 (after one line saying why) when Wine cannot start here, non-zero
# when anything failed.
set -u
cd "$(dirname "$0")/.."
. scripts/host-setup.sh
. scripts/ctest-report.sh

if reason=$(ensure_windows); then
  echo "windows: ${reason}"
else
  echo "skipping windows: ${reason}"
  exit 3
fi
wine64=$(wine_loader wine64)
wineserver=$(dirname "${wine64}")/wineserver64
[ -x "${wineserver}" ] || wineserver=$(dirname "${wine64}")/wineserver
[ -x "${wineserver}" ] || wineserver=$(command -v wineserver || echo wineserver)

WINEPREFIX=$(mktemp -d /tmp/qorb-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all
stop_wine() {
  "${wineserver}" -k >/dev/null 2>&1
  "${wineserver}" -w >/dev/null 2>&1
  rm -rf "${WINEPREFIX}"
}
trap stop_wine EXIT

# The prefix is set up first, and its server and services are kept running
# with no terminal of their own: a service that the first test program
# started would hold ctest's output pipe open, and that test would time out.
"${wineserver}" -p >/dev/null 2>&1 </dev/null
if ! timeout 300 "${wine64}" wineboot --init >/dev/null 2>&1 </dev/null; then
  echo "skipping windows: Wine cannot start here (wineboot failed in a fresh prefix)"
  exit 3
fi

passed=0
failed=0
status=0
for config in win64 win32; do
  echo "=== ${config} ==="
  if ! cmake --preset "${config}" >/dev/null || ! cmake --build --preset "${config}"; then
    echo "build of ${config} failed"
    status=1
    failed=$((failed + 1))
    continue
  fi
  if [ "${config}" = win32 ] && ! wine_loader wine >/dev/null; then
    echo "win32: built; its programs need a 32-bit Wine, which is not installed, so only the export check runs"
  fi
  run_ctest_leg "${config}" || status=1
done

echo "windows: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ] || status=1
exit "${status}"
