#!/usr/bin/env bash
# Installs a built configuration into a temporary prefix and builds a small C
# program against the installed files alone, once through the CMake package
# and once through pkg-config, and runs both. Prints "consumer: N passed,
# N failed". Usage: scripts/test-consumer.sh [build folder, default build/native]
set -u
cd "$(dirname "$0")/.."
build=${1:-build/native}
prefix=$(mktemp -d)
trap 'rm -rf "${prefix}"' EXIT
passed=0
failed=0
check() {
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "consumer check failed: $*"; fi
}

if ! cmake --install "${build}" --prefix "${prefix}/usr" >/dev/null; then
  echo "consumer: 0 passed, 2 failed (install of ${build} failed)"
  exit 1
fi
with_cmake() {
  cmake -S examples/consumer -B "${prefix}/cmake-build" -DCMAKE_PREFIX_PATH="${prefix}/usr" \
    -DCMAKE_BUILD_RPATH="${prefix}/usr/lib" >/dev/null &&
    cmake --build "${prefix}/cmake-build" >/dev/null &&
    "${prefix}/cmake-build/consumer"
}
with_pkg_config() {
  local pc="${prefix}/usr/lib/pkgconfig"
  # shellcheck disable=SC2046
  cc -std=c99 -o "${prefix}/consumer-pc" examples/consumer/consumer.c \
    $(PKG_CONFIG_PATH="${pc}" pkg-config --cflags --libs qorb32n) \
    -Wl,-rpath,"${prefix}/usr/lib" && "${prefix}/consumer-pc"
}
check with_cmake
check with_pkg_config
echo "consumer: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ]
