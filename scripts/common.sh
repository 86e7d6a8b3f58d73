# Shared by the project's scripts: package installation and the build.
# Sourced, not run.

VELMARO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages needed to build the plug-in, velmaro and the tests.
VELMARO_BUILD_PACKAGES=(cmake make g++ pkg-config binutils libsqlite3-dev libicu-dev sqlite3
                        libgtest-dev libgmock-dev libfltk1.3-dev libpugixml-dev)
# The dialog tests: a private X server, a driver of its mouse and keys,
# and screenshots.
VELMARO_GUI_TEST_PACKAGES=(xvfb xdotool imagemagick)
# The real host, started by the tests of velmaro install-plugin.
VELMARO_HOST_APP_PACKAGES=(doublecmd-gtk)
# The Debian package: dpkg-shlibdeps works out its run-time dependencies.
VELMARO_PACKAGE_PACKAGES=(dpkg-dev file)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
VELMARO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Installs the packages that are not installed yet (apt-get update runs
# once, only when something is missing).
install_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds one build tree: build_tree DIR [cmake options...]
# BUILD_TARGET=name builds only that target.
build_tree() {
  local dir=$1
  shift
  cmake -S "$VELMARO_ROOT" -B "$dir" "$@" >"$dir.configure.log" 2>&1 || {
    cat "$dir.configure.log"
    return 1
  }
  cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
}
