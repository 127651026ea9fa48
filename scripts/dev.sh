#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program or the test suite.
#   scripts/dev.sh run [ARGS...]   build the programs and the skin, then run the
#                                  main job: the window (ARGS go to it)
#   scripts/dev.sh test            build, then run the whole test suite
#   scripts/dev.sh sanitizers      the whole suite under ASan+UBSan, the threaded
#                                  tests under TSan (regex: TSAN_TESTS below)
#   scripts/dev.sh fuzz [SECONDS]  build the fuzz targets (clang, libFuzzer) and
#                                  run each for SECONDS (default 30) on its seeds
#   scripts/dev.sh static          cppcheck and clang-tidy on the core (src/ minus src/ui)
#   scripts/dev.sh kernel          the kernel-in-the-loop test: a stock kernel in qemu,
#                                  the virtual mouse behind uhid, tolvanectl on hidraw
#   scripts/dev.sh package         build the Debian package (CPack) into build/default
#                                  and check it (lintian, desktop-file-validate,
#                                  appstreamcli, a run from an unpacked root)
# Works as root or through sudo on a fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config git
          libgtest-dev libgmock-dev libcli11-dev libudev-dev
          qt6-base-dev libgl-dev
          libglib2.0-dev libxi-dev libxtst-dev librsvg2-bin
          dbus gsettings-desktop-schemas xvfb xauth trayer ccache)

# A compiler cache when there is one: a second build of the same sources, in
# this clone or another one, takes seconds instead of minutes.
use_ccache() {
  command -v ccache >/dev/null || return 0
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
}

install_missing() {
  install_extra "${packages[@]}"
}

# Installs the named packages when missing; fails when apt-get cannot.
install_extra() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Tests that run threads of their own: discovery (scans, probe and match
# threads, plug events), the device families' service threads and reply
# queue, profile reads and writes through them, the session's read and apply
# threads, import writes, the virtual mouse's transport, hotplug monitors,
# hidraw readers, the uhid bridge, the start-up test and the soak. Matched
# against ctest test names (Suite.Case).
TSAN_TESTS='^(Program|Discovery|Families|Session|GetProfile|ApplySetting|Transfer|Protocol|SimTransport|SimFaults|SimReceiver|SimNotify|SimCommands|Orchestration|Hotplug|HidrawTransport|HidrawIo|UhidBridge|DevListSession|Soak)[A-Za-z]*[./]'

build() {
  local preset=$1
  shift
  use_ccache
  cmake --preset "$preset" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" --target "$@"
  else
    cmake --build --preset "$preset"
  fi
}

cmd=${1:-run}
shift || true
case "$cmd" in
  run)
    install_missing
    # Only what the main job runs: the two programs and the skin.
    build default tolvane tolvanectl tolvane_skin
    exec scripts/run-default.sh "$@"
    ;;
  test)
    install_missing
    build default
    ctest --preset default
    ;;
  sanitizers)
    install_missing
    start=$SECONDS
    build asan
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --preset asan
    echo "asan: $((SECONDS - start)) s"
    start=$SECONDS
    build tsan
    # TSan needs the address space layout it knows; setarch -R turns randomisation off for it.
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      setarch "$(uname -m)" -R ctest --preset tsan -R "$TSAN_TESTS"
    echo "tsan: $((SECONDS - start)) s"
    ;;
  fuzz)
    secs=${1:-30}
    install_missing
    install_extra clang-14 libclang-rt-14-dev
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz
    bash tools/fuzz/run_all.sh build/fuzz/fuzz "$secs"
    ;;
  static)
    install_missing
    install_extra cppcheck clang-tidy-14
    cmake --preset default >/dev/null
    bash tools/static/run.sh build/default
    ;;
  kernel)
    install_missing
    build default
    bash tools/kernel/run.sh build/default
    ;;
  package)
    install_missing
    install_extra lintian desktop-file-utils appstream
    build default
    rm -f build/default/tolvane_*.deb
    (cd build/default && cpack -G DEB >/dev/null)
    bash scripts/check-package.sh build/default/tolvane_*.deb
    ;;
  *)
    echo "usage: scripts/dev.sh run|test|sanitizers|fuzz [SECONDS]|static|kernel|package" >&2
    exit 2
    ;;
esac
