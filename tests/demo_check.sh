#!/usr/bin/env bash
# Runs the demonstration program as the README's first command does, in a
# scratch directory with the shipped configuration, and checks what a
# newcomer should see: the survey, the reported failure in the console and
# the day's log file, the settings written back, the findings recorded as
# tagged records and read back, and nothing leaked.
set -u
survey=$1
config=$2
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT
cp "${config}" "${work}/demo.ini"
cd "${work}" || exit 1
output=$("${survey}" -c demo.ini) || { echo "survey failed: ${output}"; exit 1; }
fail() { echo "$1"; echo "${output}"; exit 1; }
grep -q 'E0006 3 : Non-zero return code.' <<<"${output}" || fail "no failure report on the console"
grep -q 'E0006 3 : Non-zero return code.' survey.*.log || fail "no failure report in the log file"
grep -q '^\[ effective.ini \]' effective.ini || fail "the settings were not written back"
grep -q 'read them back: the totals match' <<<"${output}" || fail "the tagged records did not read back"
[ -s survey.tags ] || fail "no tagged records were written"
grep -q 'everything was given back' <<<"${output}" || fail "the allocator's counters are not back at zero"
help=$("${survey}" -h c1) || fail "topical help failed"
grep -q 'configuration file to survey' <<<"${help}" || fail "no topical help for c1"
"${survey}" -x >/dev/null && fail "an unknown switch was accepted"
exit 0
