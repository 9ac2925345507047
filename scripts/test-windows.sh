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
  targets=()
  # Without a 32-bit Wine the i686 test programs could not run: the DLL and
  # the C program linked against it are built, and the export check runs.
  if [ "${config}" = win32 ] && ! wine_loader wine >/dev/null; then
    echo "win32: no 32-bit Wine here, so only qorb32n.dll and header_c_check are built and the DLL's exports checked"
    targets=(--target qorb32n header_c_check)
  fi
  if ! cmake --preset "${config}" >/dev/null || ! cmake --build --preset "${config}" "${targets[@]}"; then
    echo "build of ${config} failed"
    status=1
    failed=$((failed + 1))
    continue
  fi
  run_ctest_leg "${config}" || status=1
done

echo "windows: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ] || status=1
exit "${status}"
