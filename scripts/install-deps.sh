#!/usr/bin/env bash
# Installs the build, test and run stack from Debian's packages. Safe to run again:
# apt skips what is already there, and nothing is downloaded at build time.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-dev clang-format
  dpkg-dev
  qt6-base-dev qt6-svg-dev libqt6svg6
  portaudio19-dev libsdl2-dev libpugixml-dev zlib1g-dev libcli11-dev libsndfile1-dev
  nlohmann-json3-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth x11-utils x11-xkb-utils xdotool imagemagick openbox
  alsa-utils libasound2-plugins pulseaudio pulseaudio-utils sox ffmpeg
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
