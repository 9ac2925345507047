# ctest-report.sh - sourced by the test scripts: runs one configuration's
# tests and counts them into the caller's `passed` and `failed`.

# One line per skipped test with the reason it gave (Windows programs end
# their lines with CR LF).
report_skips() {
  local config=$1 log=$2 name reason
  for name in $(sed -nE 's/^\s*[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*Skipped.*/\1/p' "${log}"); do
    reason=$(ctest --preset "${config}" -R "^${name}\$" -V 2>/dev/null | tr -d '\r' | grep -A1 -E ': Skipped$' | tail -n 1 | sed -E 's/^[0-9]+: //')
    echo "  skipped in ${config}: ${name}: ${reason:-no reason given}"
  done
}

# Runs ctest for a configuration that is built: adds its counts to `passed`
# and `failed`, lists its skipped tests, and fails when ctest did or left no
# summary.
run_ctest_leg() {
  local config=$1 log summary total bad result=0
  log=$(mktemp)
  ctest --preset "${config}" 2>&1 | tee "${log}"
  [ "${PIPESTATUS[0]}" -eq 0 ] || result=1
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "${log}" | tail -n 1)
  if [ -n "${summary}" ]; then
    total=$(echo "${summary}" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "${summary}" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  else
    result=1
  fi
  report_skips "${config}" "${log}"
  rm -f "${log}"
  return "${result}"
}
