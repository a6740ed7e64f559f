#!/usr/bin/env bash
# Installs the Debian packages the quality benchmark needs, when any is
# missing: the texts it is built from (man pages in English and Russian,
# rendered by man-db and groff), the peers it is measured against
# (similarity-tester, ssdeep, tlsh-tools) and gnuplot for the curve.
# With --check it only lists what is missing and exits 1 if anything is.
set -euo pipefail
packages=(man-db groff-base manpages manpages-ru similarity-tester ssdeep tlsh-tools gnuplot-nox python3)
missing=()
for package in "${packages[@]}"; do
  # Files are in place from "unpacked" on; another apt run may be processing
  # triggers (man-db's, say) at this very moment.
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
    grep -qE "ok (installed|unpacked|half-configured|triggers-awaited|triggers-pending)$" ||
    missing+=("$package")
done
if [ "${1:-}" = --check ]; then
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "bench/quality: missing Debian packages: ${missing[*]} (bench/quality/setup.sh installs them)" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
