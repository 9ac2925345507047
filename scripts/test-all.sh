#!/usr/bin/env bash
# Builds and tests every configuration: native, sanitize, and m32 where the
# 32-bit toolchain (Debian's g++-multilib) is installed. Ends with one line
# "N passed, N failed" over all of them; exits non-zero when anything failed.
set -u
cd "$(dirname "$0")/.."

configs=(native sanitize)
if echo 'int main(void){return 0;}' | g++ -m32 -x c++ - -o /tmp/qorb32n-m32-probe 2>/dev/null; then
  configs+=(m32)
else
  echo "skipping m32: the 32-bit toolchain is not installed (apt-get install g++-multilib)"
fi
rm -f /tmp/qorb32n-m32-probe

passed=0
failed=0
status=0
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
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "${log}" | tail -n 1)
  if [ -n "${summary}" ]; then
    total=$(echo "${summary}" | sed -E 's/.*out of ([0-9]+).*/\1/')
    bad=$(echo "${summary}" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  else
    status=1
  fi
  rm -f "${log}"
done

echo "total: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ] || status=1
exit "${status}"
