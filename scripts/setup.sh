#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the examples need,
# when any of them is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libssl-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev clang libclang-rt-dev valgrind
  gnuplot-nox parallel time man-db python3 python3-setuptools python3-wheel python3-pip python3-venv strace
  python3-distributed python3-dask python3-pandas poppler-utils unzip
  curl libcpp-httplib-dev libicapapi-dev c-icap libmilter-dev libgmime-3.0-dev miltertest squid)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
