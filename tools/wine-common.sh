# Settings and prefix creation shared by wine-run, wine-session and the
# benchmarks; sourced, not run. The caller may set wine_arch first:
#   win32 (default)  the 32-bit launcher.exe, the product, in a 32-bit prefix
#   win64            its 64-bit twin, in a 64-bit prefix
# and WINEPREFIX, else the prefix of that kind in the build tree is used.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine_arch=${wine_arch:-win32}

case $wine_arch in
win32)
    # A 32-bit prefix: in a 64-bit one the 32-bit launcher would read the
    # registry's WOW64 view (HKLM\SOFTWARE\Wow6432Node), which the 64-bit
    # reg.exe and regedit.exe do not write.
    export WINEPREFIX=${WINEPREFIX:-$repo_root/build/wineprefix}
    export WINE=wine
    unset WINELOADER
    session_env_file=$repo_root/build/wine-session.env
    ;;
win64)
    # Debian's /usr/bin/wine picks the 32-bit loader whenever wine32 is
    # installed, even where the kernel cannot run it: the 64-bit loader is
    # called directly, and starts every process of the prefix through
    # WINELOADER. Its regedit and reg write the 64-bit view that the twin reads.
    export WINEPREFIX=${WINEPREFIX:-$repo_root/build/wineprefix64}
    export WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
    session_env_file=$repo_root/build/wine-session64.env
    ;;
*)
    echo "wine_arch must be win32 or win64, not $wine_arch" >&2
    return 2
    ;;
esac
export WINEARCH=$wine_arch
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

# Makes the prefix unless a finished one is there. Parallel callers wait on
# the lock instead of booting the same prefix twice. A prefix without the
# marker was interrupted while being made; wineboot completes it.
ensure_prefix() {
    local marker=$WINEPREFIX/.prefix-ready
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [[ ! -f $marker ]]; then
            # wineboot's children (wineserver, winedevice) outlive it and keep
            # whatever output and descriptors they inherit: never hand them the
            # caller's pipes, nor the lock.
            if ! "$WINE" wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1 9>&-; then
                echo "wineboot failed; see $WINEPREFIX.boot.log" >&2
                exit 1
            fi
            touch "$marker"
        fi
    ) 9>"$WINEPREFIX.lock"
}
