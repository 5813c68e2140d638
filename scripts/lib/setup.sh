# Shared set-up of scripts/run and scripts/test: installs the Debian packages
# the build needs (when running as root), configures once and builds.
# Sourced with the preset name in $VEXA_PRESET.

set -euo pipefail

VEXA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VEXA_PRESET=${VEXA_PRESET:-default}
VEXA_BUILD_DIR="$VEXA_ROOT/build/$VEXA_PRESET"

# Debian packages the build and the tests need; the window is Qt 6 Widgets
# with a Korean font for its texts (its tests run offscreen, no display);
# HTTP goes through libcurl, the capture tests decode BMP files with
# Python's imaging library, and the tests check the validation record's
# cipher and digests with openssl.
VEXA_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev nlohmann-json3-dev zlib1g-dev libgcrypt20-dev
  qt6-base-dev fonts-nanum
  libcurl4-openssl-dev python3-pil openssl
)
[ "$VEXA_PRESET" = fuzz ] && VEXA_PACKAGES+=(clang libclang-rt-14-dev)

vexa_missing_packages() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  echo "${missing[@]+"${missing[@]}"}"
}

vexa_install_packages() {
  local missing
  missing=$(vexa_missing_packages "${VEXA_PACKAGES[@]}" ccache)
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    local required
    required=$(vexa_missing_packages "${VEXA_PACKAGES[@]}")
    if [ -n "$required" ]; then
      echo "vexa: missing Debian packages: $required (run as root to install them)" >&2
      exit 1
    fi
    return 0
  fi
  echo "vexa: installing $missing" >&2
  export DEBIAN_FRONTEND=noninteractive
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing >/dev/null ||
    { apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends $missing >/dev/null; }
}

vexa_build() {
  # Paths relative to the checkout let clones and work trees share the cache.
  export CCACHE_BASEDIR="$VEXA_ROOT" CCACHE_NOHASHDIR=1
  if [ ! -f "$VEXA_BUILD_DIR/CMakeCache.txt" ]; then
    cmake --preset "$VEXA_PRESET" -S "$VEXA_ROOT" >/dev/null
  fi
  cmake --build "$VEXA_BUILD_DIR" -- -l"$(nproc)"
}

vexa_install_packages
vexa_build
