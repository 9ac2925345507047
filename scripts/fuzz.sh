#!/usr/bin/env bash
# fuzz.sh - builds the fuzz targets (the fuzz preset) and runs each for a
# longer campaign, two at a time at most (the machine has two cores):
#   scripts/fuzz.sh [seconds per target, default 600] [target ...]
# Each campaign starts from the seeds in fuzz/corpus/<target>/ and grows a
# scratch corpus under build/fuzz/campaigns/; findings land there as
# crash-*, leak-* or timeout-* files. Prints one line per target with its
# executions, time and coverage, and exits non-zero when any found something.
set -u
cd "$(dirname "$0")/.."
. scripts/host-setup.sh

seconds=${1:-600}
shift || true
if ! reason=$(ensure_fuzz_tools); then
  echo "cannot fuzz: ${reason}"
  exit 1
fi
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null || exit 1

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "${source}" _fuzz.cpp)
    targets+=("${name}")
  done
fi

campaigns=build/fuzz/campaigns
mkdir -p "${campaigns}"

campaign() {
  local name=$1 dir="${campaigns}/$1"
  mkdir -p "${dir}/corpus"
  "build/fuzz/fuzz/${name}_fuzz" -max_total_time="${seconds}" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="${dir}/" "${dir}/corpus" "fuzz/corpus/${name}" >"${dir}/log" 2>&1
  echo $? >"${dir}/status"
}

summary() {
  local name=$1 dir="${campaigns}/$1" runs cov status
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "${dir}/log" | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "${dir}/log" | tail -n 1)
  status=$(cat "${dir}/status")
  if [ "${status}" -eq 0 ]; then
    echo "${name}: ${runs:-?} runs in ${seconds} s, ${cov:-no coverage line}, no finding"
  else
    echo "${name}: FINDING after ${runs:-?} runs (${cov:-?}); see ${dir}/log"
  fi
  [ "${status}" -eq 0 ]
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pair=("${targets[@]:i:2}")
  for name in "${pair[@]}"; do campaign "${name}" & done
  wait
  for name in "${pair[@]}"; do summary "${name}" || status=1; done
done
exit "${status}"
