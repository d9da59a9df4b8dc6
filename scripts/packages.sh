# Sourced by the scripts: installs the distribution packages the build needs, only those missing.
QAV_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev
              qt6-base-dev qt6-qpa-plugins libgl-dev libvulkan-dev libxcb1-dev
              fonts-dejavu-core xvfb xauth xdotool imagemagick
              openbox metacity x11-utils)

qav_install_packages() {
  local missing=() p
  for p in "${QAV_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}
