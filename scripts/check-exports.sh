#!/usr/bin/env bash
# check-exports.sh OBJDUMP DLL HEADER - the DLL's export table holds exactly
# the functions that HEADER declares with QORB_API, no more and no fewer.
# Prints the differences and exits non-zero when there are any.
set -eu
objdump=$1 dll=$2 header=$3
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT

# Declarations run from QORB_API to the '(' that opens the parameters; the
# name is the word right before it.
sed -nE 's/^QORB_API[^(]*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)\(.*/\1/p' "${header}" |
  sort >"${work}/declared"
# objdump -p lists the names under "[Ordinal/Name Pointer] Table".
"${objdump}" -p "${dll}" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+([^[:space:]]+).*/\1/p' |
  sort >"${work}/exported"

if [ ! -s "${work}/declared" ] || [ ! -s "${work}/exported" ]; then
  echo "no declarations or no exports found (header ${header}, DLL ${dll})"
  exit 1
fi
if ! diff "${work}/declared" "${work}/exported" >"${work}/diff"; then
  sed -nE 's/^< /declared, not exported: /p; s/^> /exported, not declared: /p' "${work}/diff"
  exit 1
fi
echo "$(wc -l <"${work}/declared") functions declared and exported"
