# Shared helpers of scripts/run, scripts/test and the end-to-end harness:
# installing what is missing, building, the project's Wine prefix, Xvfb.
# Source it; it expects `set -euo pipefail` in the caller.

KV_ROOT="${KV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
KV_BUILD="${KV_BUILD:-$KV_ROOT/build}"
KV_PREFIX="${KV_PREFIX:-$KV_BUILD/wineprefix}"
# Program folder inside the prefix; the blank in it is deliberate.
KV_PROGRAM_DIR_WIN='C:\Program Files\Korvane'
KV_PROGRAM_DIR="$KV_PREFIX/drive_c/Program Files/Korvane"

kv_log() { printf '== %s\n' "$*" >&2; }

kv_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

kv_missing_packages() {
    local p
    for p in "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || printf '%s\n' "$p"
    done
}

KV_APT_UPDATED=0
kv_apt_install() {
    local missing
    missing=$(kv_missing_packages "$@")
    [ -z "$missing" ] && return 0
    kv_log "installing: $(echo $missing)"
    if [ "$KV_APT_UPDATED" -eq 0 ]; then
        kv_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
        KV_APT_UPDATED=1
    fi
    # shellcheck disable=SC2086
    kv_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        $missing </dev/null >/dev/null
}

# What building the programs and packing them needs, without Wine.
kv_install_build_deps() {
    kv_apt_install g++-mingw-w64-i686 cmake zip unzip
}

# The product's version, as set in the top-level CMakeLists.txt.
kv_version() {
    sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' "$KV_ROOT/CMakeLists.txt"
}

# Whether this host can execute 32-bit programs at all: some kernels run
# with 32-bit emulation switched off, and then Wine's 32-bit loader fails
# with "Exec format error".
kv_host_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

kv_install_deps() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        kv_log "enabling the i386 architecture"
        kv_as_root dpkg --add-architecture i386
    fi
    kv_apt_install g++-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb imagemagick xauth cmake g++ libgtest-dev clang zip unzip
    if ! kv_host_runs_32bit; then
        kv_apt_install wine64 g++-mingw-w64-x86-64
    fi
    kv_pick_wine
}

# Chooses the Wine flavour and the Windows build that runs under it:
# 32-bit when the host can run it, 64-bit otherwise.
kv_pick_wine() {
    if kv_host_runs_32bit; then
        KV_ARCH=i686
        KV_WINE=/usr/lib/wine/wine
        KV_RUN_BUILD="$KV_BUILD/win"
        export WINEARCH=win32
    else
        KV_ARCH=x86_64
        KV_WINE=/usr/lib/wine/wine64
        KV_RUN_BUILD="$KV_BUILD/win64"
        export WINEARCH=win64
        export WINELOADER=$KV_WINE
    fi
    export WINEPREFIX="$KV_PREFIX"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;subst.exe=n"
}

kv_wine() { "$KV_WINE" "$@"; }
kv_wineserver() { /usr/lib/wine/wineserver "$@"; }

kv_cmake_build() { # dir [cmake args...]
    local dir=$1; shift
    cmake -S "$KV_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >"$dir.configure.log" 2>&1 \
        || { cat "$dir.configure.log" >&2; return 1; }
    cmake --build "$dir" -j"$(nproc)" >"$dir.build.log" 2>&1 \
        || { tail -n 60 "$dir.build.log" >&2; return 1; }
}

kv_build_win() {
    mkdir -p "$KV_BUILD"
    kv_log "building the Windows program (build/win)"
    kv_cmake_build "$KV_BUILD/win" -DCMAKE_TOOLCHAIN_FILE="$KV_ROOT/cmake/mingw-i686.cmake"
    if [ "$KV_RUN_BUILD" != "$KV_BUILD/win" ]; then
        kv_log "this host cannot run 32-bit programs: building a 64-bit copy to run under Wine (build/win64)"
        kv_cmake_build "$KV_BUILD/win64" -DCMAKE_TOOLCHAIN_FILE="$KV_ROOT/cmake/mingw-x86_64.cmake"
    fi
}

kv_build_native() {
    mkdir -p "$KV_BUILD"
    kv_log "building the unit tests (build/native)"
    kv_cmake_build "$KV_BUILD/native"
}

# Makes the project's prefix on first use (never the user's ~/.wine) and
# puts the test stand-ins in place. Cheap on later runs.
kv_prefix_prepare() {
    local stamp="$KV_PREFIX/.korvane-arch"
    if [ -d "$KV_PREFIX" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$WINEARCH" ]; then
        kv_wineserver -k 2>/dev/null || true
        rm -rf "$KV_PREFIX"
    fi
    if [ ! -f "$stamp" ]; then
        kv_log "making the Wine prefix (build/wineprefix)"
        mkdir -p "$KV_PREFIX"
        kv_wine wineboot -i >/dev/null 2>&1
        kv_wineserver -w
        echo "$WINEARCH" >"$stamp"
    fi
    kv_install_standins
}

# Marlett, the font Wine draws its caption buttons with (from fonts-wine), in
# the prefix's font folder, where this Wine looks for it; without it the
# buttons show as "0 1 r".
kv_prefix_fonts() {
    local fonts="$KV_PREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
}

kv_system32() { echo "$KV_PREFIX/drive_c/windows/system32"; }

kv_install_standins() {
    local bin="$KV_RUN_BUILD/tests/standins"
    cp "$bin/subst.exe" "$(kv_system32)/subst.exe"
    mkdir -p "$KV_PREFIX/drive_c/kvbench"
    cp "$bin/kvopen.exe" "$KV_PREFIX/drive_c/kvbench/kvopen.exe"
    if [ ! -f "$KV_PREFIX/.korvane-html" ]; then
        # .html opens with the logging stand-in instead of a browser.
        kv_wine reg add 'HKCR\.html' /ve /d kvbench.html /f >/dev/null 2>&1
        kv_wine reg add 'HKCR\kvbench.html\shell\open\command' /ve \
            /d '"C:\kvbench\kvopen.exe" "%1"' /f >/dev/null 2>&1
        kv_wineserver -w
        touch "$KV_PREFIX/.korvane-html"
    fi
    if [ ! -f "$KV_PREFIX/.korvane-url" ]; then
        # So do web addresses, which the about window hands to the shell.
        local scheme
        for scheme in http https; do
            kv_wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve \
                /d '"C:\kvbench\kvopen.exe" "%1"' /f >/dev/null 2>&1
        done
        kv_wineserver -w
        touch "$KV_PREFIX/.korvane-url"
    fi
}

# Fresh program folder: korvane.exe, its manual and the companion.
kv_install_program() {
    rm -rf "$KV_PROGRAM_DIR"
    mkdir -p "$KV_PROGRAM_DIR"
    cp "$KV_RUN_BUILD/src/korvane.exe" "$KV_PROGRAM_DIR/"
    local manual
    for manual in "$KV_RUN_BUILD/src/manual.html" "$KV_ROOT/res/manual.html"; do
        if [ -f "$manual" ]; then cp "$manual" "$KV_PROGRAM_DIR/"; break; fi
    done
    cp "$KV_RUN_BUILD/src/korstart.exe" "$KV_PROGRAM_DIR/"
}

KV_XVFB_PID=
kv_xvfb_start() {
    local n
    for n in 90 91 92 93 94 95 96 97 98 99; do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        KV_XVFB_PID=$!
        local i
        for i in $(seq 1 50); do
            if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; return 0; fi
            kill -0 "$KV_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$KV_XVFB_PID" 2>/dev/null || true
        KV_XVFB_PID=
    done
    echo "no free X display for Xvfb in :90-:99" >&2
    return 1
}

kv_xvfb_stop() {
    if [ -n "$KV_XVFB_PID" ]; then
        kill "$KV_XVFB_PID" 2>/dev/null || true
        wait "$KV_XVFB_PID" 2>/dev/null || true
        KV_XVFB_PID=
    fi
}
