# Shared by scripts/test and scripts/demo: packages, builds, Wine prefix, a virtual display.
set -euo pipefail
QF_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QF_BUILD=${QF_BUILD:-$QF_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$QF_BUILD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

qf_packages="cmake ninja-build g++ clang libclang-rt-14-dev googletest g++-mingw-w64-x86-64-posix \
mingw-w64-tools wine wine64 xvfb xauth x11-utils xorriso imagemagick fonts-wine python3 fp-utils nsis locales"

qf_install_packages() {
    local missing=()
    for p in $qf_packages; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo=sudo
        $sudo apt-get update -q
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

qf_build_target() {
    cmake -S "$QF_ROOT" -B "$QF_BUILD/target" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$QF_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$QF_BUILD/target" -- -j"$(nproc)"
}

qf_build_host() {  # [target ...]: only these (default: everything)
    cmake -S "$QF_ROOT" -B "$QF_BUILD/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQF_FUZZ=ON >/dev/null
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$QF_BUILD/host" "${targets[@]}" -- -j"$(nproc)"
}

# A Wine prefix of our own: no window manager under Xvfb, so Wine draws the title bars itself.
qf_prepare_wine() {
    if [ ! -f "$WINEPREFIX/.qf-ready" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d Y /f >/dev/null 2>&1 || true
        wineserver -w
        touch "$WINEPREFIX/.qf-ready"
    fi
}

# Starts Xvfb on a free display unless QF_KEEP_DISPLAY is set and a display exists.
QF_XVFB_PID=""
qf_start_display() {
    if [ -n "${QF_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return; fi
    local n=91
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QF_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

# Wine's own background processes start with the first program and outlive it; started here,
# with their output going nowhere, they never hold a test runner's output pipe open.
qf_start_wine_services() {
    wineserver -p 120 >/dev/null 2>&1 </dev/null || true
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

qf_stop_display() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$QF_XVFB_PID" ]; then
        kill "$QF_XVFB_PID" 2>/dev/null || true
        wait "$QF_XVFB_PID" 2>/dev/null || true
    fi
}
