#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program or the test suite.
#   scripts/dev.sh run [ARGS...]   build, then run the main job (ARGS go to it)
#   scripts/dev.sh test            build, then run the whole test suite
# Works as root or through sudo on a fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config git
          libgtest-dev libgmock-dev libcli11-dev libudev-dev
          qt6-base-dev libgl-dev)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

cmd=${1:-run}
shift || true
case "$cmd" in
  run)
    install_missing
    build default
    exec scripts/run-default.sh "$@"
    ;;
  test)
    install_missing
    build default
    ctest --preset default
    ;;
  *)
    echo "usage: scripts/dev.sh run|test" >&2
    exit 2
    ;;
esac
