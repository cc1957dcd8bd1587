#!/usr/bin/env bash
# Installs every system package Vantrel needs to build, test and run on Debian 12.
# Idempotent: when every package is already there it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-translations-l10n
  qt6-pdf-dev libqt6pdf6 libqt6pdfwidgets6 qt6-qpa-plugins
  libgl-dev libxkbcommon-dev
  libreoffice-dev libreoffice-writer libreoffice-calc libreoffice-draw
  libreoffice-l10n-zh-cn
  libzip-dev zip unzip libfreexl-dev libsodium-dev libpugixml-dev
  sqlite3 libsqlite3-dev poppler-utils xvfb xauth x11-apps xdg-utils imagemagick
  xdotool
  lintian dpkg-dev file shared-mime-info desktop-file-utils libqt6sql6-psql postgresql libpq-dev openssl
  fonts-noto-cjk fonts-wqy-microhei
  libgtest-dev libbenchmark-dev
  clang clang-tidy clang-format libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
