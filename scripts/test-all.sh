#!/usr/bin/env bash
# Builds and tests every configuration this host can run: native, sanitize,
# tsan, m32 (i386) natively or under user-mode emulation; builds the
# benchmarks (without running them); runs every fuzz target over its seed
# corpus for a fixed number of runs; and then the Windows builds under Wine
# (scripts/test-windows.sh). On a fresh machine it
# installs what the build needs when it runs as root, and otherwise names the
# packages to install. Says plainly what it skipped and why, and ends with
# one line "total: N passed, N failed"; exits non-zero when anything failed.
set -u
cd "$(dirname "$0")/.."
. scripts/host-setup.sh
. scripts/ctest-report.sh

ensure_build_tools tests || exit 1

configs=(native sanitize tsan)
if m32_reason=$(ensure_m32); then
  configs+=(m32)
  echo "m32: ${m32_reason}"
else
  echo "skipping m32: ${m32_reason}"
fi
if [ -n "${QORB_EXTRA_CONFIGS:-}" ]; then
  read -r -a extra <<<"${QORB_EXTRA_CONFIGS}"
  configs+=("${extra[@]}")
fi

passed=0
failed=0
status=0
for config in "${configs[@]}"; do
  echo "=== ${config} ==="
  if ! cmake --preset "${config}" >/dev/null || ! cmake --build --preset "${config}"; then
    echo "build of ${config} failed"
    status=1
    failed=$((failed + 1))
    continue
  fi
  run_ctest_leg "${config}" || status=1
  if [ "${config}" = native ]; then
    # The installed package, used the two ways a program would use it.
    output=$(scripts/test-consumer.sh build/native 2>&1)
    echo "${output}"
    consumer=$(echo "${output}" | tail -n 1)
    passed=$((passed + $(echo "${consumer}" | sed -E 's/.*: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "${consumer}" | sed -E 's/.*, ([0-9]+) failed.*/\1/')))
    # The benchmarks are built, never run here: timings belong to scripts/bench.sh.
    if bench_reason=$(ensure_bench_tools 2>&1); then
      if cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null; then
        echo "bench: built (run them with scripts/bench.sh)"
      else
        echo "build of the benchmarks failed"
        status=1
        failed=$((failed + 1))
      fi
    else
      echo "skipping the benchmark build: ${bench_reason}"
    fi
  fi
done

# Every fuzz target over its seed corpus, a fixed number of runs each.
echo "=== fuzz ==="
if fuzz_reason=$(ensure_fuzz_tools); then
  if cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null; then
    run_ctest_leg fuzz || status=1
  else
    echo "build of the fuzz targets failed"
    status=1
    failed=$((failed + 1))
  fi
else
  echo "skipping fuzz: ${fuzz_reason}"
fi

# The Windows leg: its own builds and Wine prefix, and its own line; a host
# where Wine cannot start skips it with one line saying why.
windows_log=$(mktemp)
scripts/test-windows.sh 2>&1 | tee "${windows_log}"
windows_status=${PIPESTATUS[0]}
windows_line=$(grep -E '^windows: [0-9]+ passed, [0-9]+ failed$' "${windows_log}" | tail -n 1)
rm -f "${windows_log}"
if [ "${windows_status}" -ne 3 ]; then
  [ "${windows_status}" -eq 0 ] || status=1
  if [ -n "${windows_line}" ]; then
    passed=$((passed + $(echo "${windows_line}" | sed -E 's/^windows: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "${windows_line}" | sed -E 's/.* ([0-9]+) failed$/\1/')))
  else
    failed=$((failed + 1))
  fi
fi

echo "total: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ] || status=1
exit "${status}"
