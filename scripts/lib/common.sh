# Shared helpers of scripts/run, scripts/test and the end-to-end harness:
# installing what is missing, building, the project's Wine prefix, Xvfb.
# Source it; it expects `set -euo pipefail` in the caller.

KV_ROOT="${KV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
KV_SELF="$(readlink -f "$0")"  # the calling script, before it changes folder
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
    kv_apt_install g++-mingw-w64-i686 cmake zip unzip msitools wixl
}

# The product's version, as set in the top-level CMakeLists.txt.
kv_version() {
    sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' "$KV_ROOT/CMakeLists.txt"
}

# Whether this host executes Wine's 32-bit loader: on kernels that run
# 64-bit code only it fails with "Exec format error" (unless run inside
# the emulated world below).
kv_host_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

kv_install_deps() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        kv_log "enabling the i386 architecture"
        kv_as_root dpkg --add-architecture i386
        KV_APT_UPDATED=0
    fi
    kv_apt_install g++-mingw-w64-i686 wine wine32:i386 wine64 fonts-wine xvfb imagemagick xauth \
        cmake g++ libgtest-dev clang zip unzip msitools wixl
    kv_host_runs_32bit || kv_fetch_qemu
    kv_pick_wine
}

# qemu's i386 user-mode emulator from bookworm-backports (qemu 10 starts a
# 32-bit process in half a second; bookworm's own 7.2 takes a minute). It
# is fetched through an apt configuration of its own under build/, so the
# system's package sources stay as they are. The package's emulators are
# static binaries: the one file is all that is kept.
KV_QEMU="$KV_BUILD/qemu/qemu-i386"
# The Debian mirror that the system's own package sources use for bookworm
# (deb822 .sources files, or the one-line sources.list).
kv_debian_mirror() {
    local uri
    uri=$(awk 'BEGIN { RS = "" } /(^|\n)Suites:[^\n]*[ \t]bookworm([ \t]|\n|$)/ {
                   if (match($0, /URIs:[ \t]*[^ \t\n]+/)) { u = substr($0, RSTART, RLENGTH); sub(/URIs:[ \t]*/, "", u); print u; exit }
               }' /etc/apt/sources.list.d/*.sources 2>/dev/null)
    [ -n "$uri" ] || uri=$(awk '$1 == "deb" && / bookworm / { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' \
                               /etc/apt/sources.list 2>/dev/null)
    printf '%s\n' "$uri"
}
kv_fetch_qemu() {
    [ -x "$KV_QEMU" ] && return 0
    local dir="$KV_BUILD/qemu" apt="$KV_BUILD/qemu/apt"
    kv_log "fetching qemu's i386 emulator from bookworm-backports (build/qemu)"
    rm -rf "$apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/deb"
    local mirror
    mirror=$(kv_debian_mirror)
    [ -n "$mirror" ] || { kv_log "no Debian bookworm source in the system's apt sources"; return 1; }
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm-backports main" \
        >"$apt/sources.list"
    local opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
                -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
                -o Acquire::Languages=none -o APT::Sandbox::User=root -qq)
    apt-get "${opts[@]}" update >/dev/null
    (cd "$apt/deb" && apt-get "${opts[@]}" download qemu-user >/dev/null)
    dpkg-deb --fsys-tarfile "$apt"/deb/qemu-user_*.deb | tar -x -C "$apt" ./usr/bin/qemu-i386
    mv "$apt/usr/bin/qemu-i386" "$KV_QEMU"
    rm -rf "$apt"
    "$KV_QEMU" --version | head -n 1 >&2
}

# Runs the calling script again (with "$@") where Wine's 32-bit programs
# run. On a host that runs them natively that is here, and this returns.
# Otherwise the script goes on inside a private user and mount namespace
# whose own binfmt_misc hands i386 ELF programs to qemu: everything started
# from there (Wine, its server, every Windows process) runs 32-bit code
# through the emulator, and nothing changes outside.
kv_enter_wine_world() {
    if [ -n "${KV_WINE_WORLD:-}" ]; then return 0; fi
    if kv_host_runs_32bit; then
        export KV_WINE_WORLD=native
        return 0
    fi
    kv_fetch_qemu
    export KV_WINE_WORLD=qemu
    exec unshare --user --map-root-user --mount \
        bash "$KV_ROOT/scripts/lib/binfmt_i386.sh" "$KV_QEMU" bash "$KV_SELF" "$@"
}

# The 32-bit program runs as on 64-bit Windows: a 64-bit prefix, started
# through the 64-bit loader, with the 32-bit programs under WoW64.
kv_pick_wine() {
    KV_ARCH=i686
    KV_WINE=/usr/lib/wine/wine64
    KV_RUN_BUILD="$KV_BUILD/win"
    export WINEARCH=win64
    export WINEPREFIX="$KV_PREFIX"
    # KV_WINEDEBUG=-all,+debugstr shows the programs' OutputDebugString lines
    # in build/e2e-results/*.log when a run needs tracing.
    export WINEDEBUG=${KV_WINEDEBUG:--all}
    # No Mono or Gecko prompts; our subst.exe instead of Wine's stub; no
    # debugger on a crash, so a crashed program ends at once instead of
    # hanging the run; and no host menu entries for the shortcuts that the
    # installer case makes (they would land in the Unix user's home).
    export WINEDLLOVERRIDES="mscoree,mshtml=;subst.exe=n;winedbg.exe=d;winemenubuilder.exe=d"
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
    # A prefix made by an older bench (32-bit only, or 64-bit without its
    # 32-bit half) is made anew.
    local kind="$WINEARCH with wow64"
    if [ -d "$KV_PREFIX" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$kind" ]; then
        kv_wineserver -k 2>/dev/null || true
        rm -rf "$KV_PREFIX"
    fi
    if [ ! -f "$stamp" ]; then
        kv_log "making the Wine prefix (build/wineprefix)"
        mkdir -p "$KV_PREFIX"
        kv_wine wineboot -i >/dev/null 2>&1
        kv_wineserver -w
        echo "$kind" >"$stamp"
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

# A 32-bit program asks for system32 and gets syswow64 (file access is
# redirected there); the copy in system32 serves 64-bit callers.
kv_install_standins() {
    local bin="$KV_RUN_BUILD/tests/standins"
    cp "$bin/subst.exe" "$KV_PREFIX/drive_c/windows/syswow64/subst.exe"
    cp "$bin/subst.exe" "$KV_PREFIX/drive_c/windows/system32/subst.exe"
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

# Fresh program folder: korvane.exe, its manual, the companion and the command line.
kv_install_program() {
    rm -rf "$KV_PROGRAM_DIR"
    mkdir -p "$KV_PROGRAM_DIR"
    cp "$KV_RUN_BUILD/src/korvane.exe" "$KV_PROGRAM_DIR/"
    local manual
    for manual in "$KV_RUN_BUILD/src/manual.html" "$KV_ROOT/src/korvane/res/manual.html"; do
        if [ -f "$manual" ]; then cp "$manual" "$KV_PROGRAM_DIR/"; break; fi
    done
    cp "$KV_RUN_BUILD/src/korstart.exe" "$KV_RUN_BUILD/src/korctl.exe" "$KV_PROGRAM_DIR/"
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
