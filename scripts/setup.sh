#!/usr/bin/env bash
# Installs the Debian packages that building, testing and trying Kova need.
# Idempotent: prints nothing when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build
  qt6-base-dev libgl-dev qt6-charts-dev libqt6opengl6-dev ffmpeg
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  xvfb xauth xdotool imagemagick
  clang
  slurmctld slurmd slurm-client munge
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
