# Settings and prefix creation shared by wine-run and wine-session; sourced,
# not run.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# A 32-bit prefix: the launcher is a 32-bit program for 32-bit Windows, and a
# 64-bit prefix would show it the registry's WOW64 view (HKLM\SOFTWARE\
# Wow6432Node), which the 64-bit reg.exe and regedit.exe do not write.
export WINEPREFIX=${WINEPREFIX:-$repo_root/build/wineprefix}
export WINEARCH=win32
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
            if ! wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1 9>&-; then
                echo "wineboot failed; see $WINEPREFIX.boot.log" >&2
                exit 1
            fi
            touch "$marker"
        fi
    ) 9>"$WINEPREFIX.lock"
}
