#!/usr/bin/env bash
# Installs, on a Debian machine, every package that building, testing, fuzzing and benchmarking need.
# Only what is missing is installed; nothing is asked.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n libicu-dev
  xvfb xauth x11-utils imagemagick poppler-utils
  python3-pyftpdlib curl libxml2-utils
  libssl-dev openssl python3-openssl vsftpd
  desktop-file-utils librsvg2-bin man-db dpkg-dev
  fonts-dejavu-core fonts-liberation2
  clang libclang-rt-14-dev
  tzdata
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
