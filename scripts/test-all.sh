#!/usr/bin/env bash
# Builds and tests every configuration this host can run: native, sanitize,
# tsan, and m32 (i386) natively or under user-mode emulation; builds the
# benchmarks (without running them) and runs every fuzz target over its seed
# corpus for a fixed number of runs. On a fresh machine it
# installs what the build needs when it runs as root, and otherwise names the
# packages to install. Says plainly what it skipped and why, and ends with
# one line "total: N passed, N failed"; exits non-zero when anything failed.
set -u
cd "$(dirname "$0")/.."
. scripts/host-setup.sh

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

# One line per skipped test with the reason it gave.
report_skips() {
  local config=$1 log=$2 name reason
  for name in $(sed -nE 's/^\s*[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*Skipped.*/\1/p' "${log}"); do
    reason=$(ctest --preset "${config}" -R "^${name}\$" -V 2>/dev/null | grep -A1 -E ': Skipped$' | tail -n 1 | sed -E 's/^[0-9]+: //')
    echo "  skipped in ${config}: ${name}: ${reason:-no reason given}"
  done
}

passed=0
failed=0
status=0
leg_passed=0
leg_failed=0

# Adds the counts of ctest's summary line in the log to the totals (and to
# this leg's); fails when there is none.
count_ctest() {
  local summary total bad
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
  [ -n "${summary}" ] || return 1
  total=$(echo "${summary}" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(echo "${summary}" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
  leg_passed=$((total - bad))
  leg_failed=${bad}
  passed=$((passed + leg_passed))
  failed=$((failed + leg_failed))
}
for config in "${configs[@]}"; do
  echo "=== ${config} ==="
  log=$(mktemp)
  if ! cmake --preset "${config}" >/dev/null || ! cmake --build --preset "${config}"; then
    echo "build of ${config} failed"
    status=1
    failed=$((failed + 1))
    continue
  fi
  ctest --preset "${config}" 2>&1 | tee "${log}"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count_ctest "${log}" || status=1
  report_skips "${config}" "${log}"
  rm -f "${log}"
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
  log=$(mktemp)
  if cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null; then
    ctest --preset fuzz 2>&1 | tee "${log}"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    if count_ctest "${log}"; then
      echo "fuzz: ${leg_passed} passed, ${leg_failed} failed"
    else
      status=1
    fi
  else
    echo "build of the fuzz targets failed"
    status=1
    failed=$((failed + 1))
  fi
  rm -f "${log}"
else
  echo "skipping fuzz: ${fuzz_reason}"
fi

echo "total: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ] || status=1
exit "${status}"
