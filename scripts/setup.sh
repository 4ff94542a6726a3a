#!/usr/bin/env bash
# Installs the Debian packages the project needs (when any is missing) and
# builds the plug-ins and tools into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t packages < <(grep -v '^\s*#' scripts/packages.txt | sed '/^\s*$/d')
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEDECK_WERROR=ON
cmake --build build
