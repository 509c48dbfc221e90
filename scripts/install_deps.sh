#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only those missing.
set -euo pipefail
packages=(g++ clang libclang-rt-14-dev cmake pkg-config libpulse-dev libsndfile1-dev libsoundtouch-dev libgtest-dev libbenchmark-dev pulseaudio pulseaudio-utils sox espeak-ng librtaudio-dev libsdl2-dev libx11-dev jackd2 libimgui-dev libstb-dev fonts-dejavu-core fontconfig libfontconfig-dev xvfb xauth xdotool libgl1-mesa-dri libcurl4-openssl-dev nlohmann-json3-dev openssl)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo ">>> installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# The Vietnamese locale writes numbers with a decimal comma; the tests check
# that the settings files do not follow it.
if ! locale -a 2>/dev/null | grep -qi '^vi_VN\.utf-\?8$'; then
  if ! command -v localedef >/dev/null || [ ! -e /usr/share/i18n/locales/vi_VN ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq locales >/dev/null
  fi
  localedef -i vi_VN -f UTF-8 vi_VN.UTF-8
fi
