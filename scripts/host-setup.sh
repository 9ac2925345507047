# host-setup.sh - sourced by the scripts: probes the host for what the build
# needs and, when running as root, installs it from Debian's packages.
# Without root it names the package and leaves the machine alone.

is_root() { [ "$(id -u)" -eq 0 ]; }

apt_updated=0
apt_install() {
  if ! is_root || ! command -v apt-get >/dev/null; then return 1; fi
  if [ "${apt_updated}" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null || return 1
    apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

# Installs the packages named (none: nothing to do), or says which to
# install by hand.
install_missing() {
  [ "$#" -eq 0 ] && return 0
  echo "installing $*"
  if ! apt_install "$@"; then
    echo "missing $*: install them (apt-get install $*) and run again" >&2
    return 1
  fi
}

# cmake and a C++ compiler; with "tests", also the GoogleTest sources.
ensure_build_tools() {
  local need=()
  command -v cmake >/dev/null || need+=(cmake)
  command -v g++ >/dev/null || need+=(g++)
  if [ "${1:-}" = tests ] && ! command -v pkg-config >/dev/null; then need+=(pkg-config); fi
  if [ "${1:-}" = tests ] && [ ! -f /usr/src/googletest/CMakeLists.txt ]; then need+=(googletest); fi
  install_missing "${need[@]}"
}

# Google Benchmark and inih (the configuration files' peer) for the bench
# preset.
ensure_bench_tools() {
  local need=()
  [ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
  [ -f /usr/include/ini.h ] || need+=(libinih-dev)
  command -v pkg-config >/dev/null || need+=(pkg-config)
  install_missing "${need[@]}"
}

# clang 14 with libFuzzer and the sanitizer runtimes for the fuzz preset.
# Prints why when they cannot be had.
ensure_fuzz_tools() {
  local need=()
  command -v clang++-14 >/dev/null || need+=(clang-14)
  [ -n "$(find /usr/lib/llvm-14 -name 'libclang_rt.fuzzer-x86_64.a' 2>/dev/null | head -n 1)" ] ||
    need+=(libclang-rt-14-dev)
  [ "${#need[@]}" -eq 0 ] && return 0
  if ! apt_install "${need[@]}"; then
    echo "clang 14 with libFuzzer is not installed (apt-get install ${need[*]})"
    return 1
  fi
}

m32_probe_dir=""
m32_probe() {
  [ -n "${m32_probe_dir}" ] || m32_probe_dir=$(mktemp -d)
  printf '%s\n' '#include <stdio.h>' '#include <sys/utsname.h>' \
    'int main(void){struct utsname u; if(uname(&u)!=0) return 1; puts(u.machine); return 0;}' \
    >"${m32_probe_dir}/probe.c"
  gcc -m32 "${m32_probe_dir}/probe.c" -o "${m32_probe_dir}/probe" 2>/dev/null
}

binfmt_dir=/proc/sys/fs/binfmt_misc

# Registers qemu's i386 interpreter with the kernel, mounting binfmt_misc
# first if need be. Leaves an entry that an administrator disabled alone.
register_i386_emulator() {
  local qemu=/usr/bin/qemu-i386-static
  [ -x "${qemu}" ] || apt_install qemu-user-static || return 1
  [ -f "${binfmt_dir}/register" ] || mount -t binfmt_misc binfmt_misc "${binfmt_dir}" 2>/dev/null || return 1
  if [ -f "${binfmt_dir}/qemu-i386" ]; then
    grep -q '^enabled' "${binfmt_dir}/qemu-i386" && return 0
    return 2
  fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"${qemu}"':F' \
    >"${binfmt_dir}/register" 2>/dev/null
}

# Whether the m32 configuration can be built and run here. Prints how it
# runs (or why not) and answers 0 when it can.
ensure_m32() {
  if ! m32_probe; then
    if ! apt_install g++-multilib || ! m32_probe; then
      echo "the 32-bit toolchain is not installed (apt-get install g++-multilib)"
      return 1
    fi
  fi
  local machine
  if ! machine=$("${m32_probe_dir}/probe" 2>/dev/null); then
    if ! is_root; then
      echo "this kernel cannot run i386 programs, and registering an emulator needs root (apt-get install qemu-user-static, then register qemu-i386 with binfmt_misc)"
      return 1
    fi
    register_i386_emulator
    case $? in
      0) ;;
      2) echo "this kernel cannot run i386 programs and the qemu-i386 binfmt entry is disabled"; return 1 ;;
      *) echo "this kernel cannot run i386 programs and qemu-user-static could not be installed or registered"; return 1 ;;
    esac
    if ! machine=$("${m32_probe_dir}/probe" 2>/dev/null); then
      echo "i386 programs do not run even under the emulator"
      return 1
    fi
  fi
  # A 32-bit process on a 64-bit kernel is told x86_64; the emulator says i686.
  if [ "${machine}" = "x86_64" ]; then
    echo "runs natively (the kernel executes i386 programs)"
  else
    echo "runs under user-mode emulation (qemu-i386 through binfmt_misc)"
  fi
}

# The Wine loader of a width (wine64, or wine for 32-bit programs): Debian
# keeps them out of PATH, where /usr/bin/wine is a wrapper that falls back
# to the 64-bit one. Prints its path; fails when there is none.
wine_loader() {
  local name=$1 dir
  for dir in /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /usr/lib/i386-linux-gnu/wine; do
    if [ -x "${dir}/${name}" ]; then echo "${dir}/${name}"; return 0; fi
  done
  [ "${name}" = wine64 ] && command -v wine64 2>/dev/null
}

# Whether the Windows leg can be built and run: the MinGW-w64 compilers of
# both widths (their -posix variants, which GoogleTest needs) and wine64.
# Prints what is missing (or that all is there) and answers 0 when it can.
ensure_windows() {
  local need=()
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
  command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
  wine_loader wine64 >/dev/null || need+=(wine64)
  if [ "${#need[@]}" -gt 0 ] && ! apt_install "${need[@]}"; then
    echo "missing ${need[*]} (apt-get install ${need[*]})"
    return 1
  fi
  if ! wine_loader wine64 >/dev/null; then
    echo "wine64 is installed but its loader was not found"
    return 1
  fi
  echo "MinGW-w64 for x86-64 and i686, and $(wine_loader wine64)"
}
