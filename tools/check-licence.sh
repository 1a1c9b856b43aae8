#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks that every source file, build file and script names its licence in
# its first line (the second after a "#!" line or an XML declaration), so
# that a file copied out of the tree still carries it.
set -eu
cd "$(dirname "$0")/.."
status=0
for file in $(find src tests bench tools cmake data .ci -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' \
    -o -name CMakeLists.txt -o -name '*.cmake' -o -name '*.map' -o -name '*.in' -o -name '*.xml' -o -name '*.conf' \
    -o -name '*.svg' -o -name '*.bash' -o -name '*.1' -o -name run \) | sort) CMakeLists.txt; do
  if ! head -n 2 "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
    echo "$file does not name its licence (SPDX-License-Identifier: MIT) in its first line"
    status=1
  fi
done
[ $status -eq 0 ] && echo "licence: every source file names it"
exit $status
