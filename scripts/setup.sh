#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
# Quiet when everything is present. Needs root (sessions and CI run as root).
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format pkg-config
          libicu-dev libexpat1-dev libyajl-dev
          libgtest-dev libgmock-dev libbenchmark-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
