# Shared by the project's scripts: package installation and the build.
# Sourced, not run.

VELMARO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages needed to build the plug-in, velmaro and the tests.
VELMARO_BUILD_PACKAGES=(cmake make g++ pkg-config binutils libsqlite3-dev libicu-dev sqlite3
                        libgtest-dev libgmock-dev libfltk1.3-dev libpugixml-dev)
# The dialog tests: a private X server, a driver of its mouse and keys,
# and screenshots.
VELMARO_GUI_TEST_PACKAGES=(xvfb xdotool imagemagick)
# The real host, started by the tests of velmaro install-plugin, and the
# desktop's opener with which Enter on a track reaches the default
# application. libqt5pas1 runs the Qt build, which fetch_doublecmd_qt
# unpacks beside the build (it conflicts with the installed GTK one).
VELMARO_HOST_APP_PACKAGES=(doublecmd-gtk xdg-utils libqt5pas1)
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
  # A mirror caught mid-sync can fail one index; the others still serve.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq || echo "apt-get update reported errors; going on with the indexes it got"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Fetches Debian's Qt build of Double Commander into DIR/doublecmd-qt
# (apt-get download, dpkg -x) without installing it, and links the shared
# files of the installed GTK build beside its program, where it looks for
# them. Once per DIR; a failure leaves the Qt leg of the tests skipped.
fetch_doublecmd_qt() {
  local dir=$1/doublecmd-qt
  [ -x "$dir/usr/lib/doublecmd/doublecmd" ] && return 0
  local download
  download=$(mktemp -d)
  if ! (cd "$download" && apt-get download -qq doublecmd-qt >/dev/null 2>&1) ||
    ! dpkg -x "$download"/doublecmd-qt_*.deb "$dir.new"; then
    echo "doublecmd-qt could not be fetched; its tests will be skipped"
    rm -rf "$download" "$dir.new"
    return 0
  fi
  rm -rf "$download"
  local shared name
  for shared in /usr/lib/doublecmd/*; do
    name=$(basename "$shared")
    [ -e "$dir.new/usr/lib/doublecmd/$name" ] || ln -s "$(readlink -f "$shared")" "$dir.new/usr/lib/doublecmd/$name"
  done
  rm -rf "$dir"
  mv "$dir.new" "$dir"
}

# The Windows builds: the mingw-w64 cross compilers for 32-bit and 64-bit
# Windows, and Wine of both widths with its fonts to run the tests and show
# the dialogs (Debian's wine64 brings the 64-bit loader, wine32 the 32-bit
# one). npm fetches SQLite's amalgamation when Node.js is not on the machine
# already.
VELMARO_WINDOWS_BUILD_PACKAGES=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
                                binutils-mingw-w64-x86-64)
VELMARO_WINDOWS_PACKAGES=("${VELMARO_WINDOWS_BUILD_PACKAGES[@]}" wine wine32:i386 wine64 fonts-wine)

# Installs the Windows build's packages: the cross compiler only (build), or
# with Wine (anything else). Wine's 32-bit half needs the i386 architecture,
# and its libraries must be the very versions of the installed 64-bit ones.
install_windows_packages() {
  local packages=("${VELMARO_WINDOWS_BUILD_PACKAGES[@]}")
  [ "${1:-}" = build ] || packages=("${VELMARO_WINDOWS_PACKAGES[@]}")
  command -v npm >/dev/null || packages+=(npm)
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ "${1:-}" != build ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  local missing=()
  local package
  for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  # Seen failing here: the security archive's i386 list, mid-sync.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq || echo "apt-get update reported errors; going on with the indexes it got"
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Without the security archive's i386 list, the 32-bit libraries exist
    # only at the main archive's versions: take the 64-bit ones from there
    # too, so that both halves match.
    local pin
    pin=$(mktemp)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
    echo "Installing again with the main archive's versions preferred"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      -o Dir::Etc::Preferences="$pin" "${missing[@]}"
    rm -f "$pin"
  fi
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
