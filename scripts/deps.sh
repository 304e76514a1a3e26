# Sourced by test.sh and run.sh: installs the Debian packages the build, the tests and the program need,
# only when some are missing.
TOLLENBY_PACKAGES=(
  cmake ninja-build g++ pkg-config clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libicu-dev libpcre2-dev libcurl4-openssl-dev libssl-dev libcpp-httplib-dev openssl
  qt6-base-dev libgl-dev fonts-wqy-microhei
  libgsf-1-dev libfreexl-dev libxlsxwriter-dev python3 python3-openpyxl
  qt6-translations-l10n qt6-qpa-plugins desktop-file-utils appstream dpkg-dev
  nodejs
)

tollenby_ensure_packages() {
  local missing=() p
  for p in "${TOLLENBY_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
