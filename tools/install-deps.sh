# Installs the Debian packages the build, the tests and the program need,
# only those that are missing.  cpmtools, mame-tools (floptool) and
# libdsk-utils are the independent tools the interoperability tests compare
# against.  Sourced by run.sh and test.sh.
DW_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-multimedia-dev
  libgtest-dev googletest
  libfreetype-dev fonts-dejavu-core zlib1g-dev
  libdsk4-dev libarchive-dev nettle-dev liblzma-dev libzstd-dev libbz2-dev
  clang libclang-rt-14-dev
  cpmtools mame-tools libdsk-utils acl attr e2fsprogs
  fuse3 libfuse3-dev
  man-db groff-base
  libsqlite3-dev sqlite3
  python3
  dpkg-dev xvfb xdotool imagemagick
  xterm xfonts-base xclip
  libgl-dev libgl1-mesa-dri
)

dw_install_missing() {
  local missing=() p
  for p in "${DW_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
