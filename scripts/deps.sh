#!/usr/bin/env bash
# Installs what building and testing need, on Debian 12, as root. Does nothing
# when everything is already there.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
      libjpeg62-turbo-dev libftdi1-dev libgtest-dev googletest libbenchmark-dev
      fonts-dejavu-core)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
