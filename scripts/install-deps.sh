#!/usr/bin/env bash
# Installs the Debian packages that Morvalin needs to build, run and test, when they are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl1-mesa-dev
  libcurl4-openssl-dev libsqlcipher-dev duktape-dev libaria2-0-dev zlib1g-dev
  libgtest-dev libcpp-httplib-dev curl
  fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
