#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing; quiet when all are there.
# Usage: scripts/deps.sh [core] [bench] [docs] [format] [fuzz] [mutants] [package] [windows]   (default: core)
set -euo pipefail

declare -A groups=(
  [core]="cmake make g++ pkg-config libgtest-dev libgmock-dev libclang-rt-dev libsqlite3-dev libunistring-dev libcli11-dev desktop-file-utils zsh fish"
  [bench]="libbenchmark-dev libssl-dev libevent-dev libinih-dev libcurl4-openssl-dev libdconf-dev dconf-cli"
  [docs]="doxygen"
  [format]="clang-format git"
  [fuzz]="clang libclang-rt-dev"
  [mutants]="ninja-build ccache python3 liblsan0"
  [package]="dpkg-dev file fakeroot help2man lintian binutils gzip"
  [windows]="cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest wine wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 xvfb xauth"
)

wanted=()
for group in "${@:-core}"; do
  [[ -n "${groups[$group]+x}" ]] || { echo "deps.sh: unknown group '$group'" >&2; exit 2; }
  wanted+=(${groups[$group]})
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Wine is tested here with what it recommends; the other groups need nothing beyond their dependencies.
recommends="--no-install-recommends"
[[ " $* " == *" windows "* ]] && recommends=""
$sudo apt-get install -y -qq $recommends "${missing[@]}" >/dev/null
