# Which Windows build the Wine suites, the demo and the benchmarks run on;
# sourced by tools/test, tools/demo and tools/bench, not run.
#
# The product is the 32-bit launcher.exe (preset "windows"), and Wine runs it
# only where the kernel runs 32-bit x86 code. Some machines of this kind run
# none at all: there no Wine of any build can start a 32-bit Windows program,
# and the Windows suites run on the 64-bit twin (preset "windows64"), built
# from the same sources, in a 64-bit Wine.
#
#   LAUNCHER_FORCE_TWIN=1    the twin on any machine (tools take --twin too)
#   LAUNCHER_32BIT_PROBE=CMD asks CMD instead of running the probe: exit 0
#                            for "runs 32-bit code", else its last line of
#                            output says why not

machine_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Exits 0 when this machine runs a 32-bit x86 Linux program; otherwise prints
# why not. The program does what a 32-bit Wine does first: it is loaded as a
# 32-bit ELF and enters the kernel through int $0x80.
runs_32bit_code() {
    if [[ -n ${LAUNCHER_32BIT_PROBE:-} ]]; then
        $LAUNCHER_32BIT_PROBE
        return
    fi
    # In the build tree, not /tmp, which may be mounted noexec.
    local dir=$machine_repo/build/probe-32bit status=0
    mkdir -p "$dir"
    printf '%s\n' '.code32' '.globl _start' \
        '_start: movl $1, %eax' '        movl $42, %ebx' '        int $0x80' >"$dir/exit42.s"
    if ! as --32 -o "$dir/exit42.o" "$dir/exit42.s" 2>"$dir/build.log" ||
        ! ld -m elf_i386 -o "$dir/exit42" "$dir/exit42.o" 2>>"$dir/build.log"; then
        echo "the 32-bit probe could not be built (binutils for i386?)"
        return 1
    fi
    (exec "$dir/exit42") 2>"$dir/run.log" || status=$?
    case $status in
    42) return 0 ;;
    126) echo "a 32-bit Linux program fails: Exec format error" ;;
    *) echo "a 32-bit Linux program ends with status $status instead of running" ;;
    esac
    return 1
}

# Sets windows_build ("windows" or "windows64") and windows_build_why, and
# prints one line that says which build the Windows suites run on, and why.
choose_windows_build() {
    local why
    if [[ ${LAUNCHER_FORCE_TWIN:-0} == 1 ]]; then
        windows_build=windows64
        windows_build_why="the twin is forced (LAUNCHER_FORCE_TWIN=1 or --twin)"
    elif why=$(runs_32bit_code 2>&1); then
        windows_build=windows
        windows_build_why="this machine runs 32-bit code"
    else
        why=${why##*$'\n'}
        windows_build=windows64
        windows_build_why="this machine runs no 32-bit code: ${why:-so the probe says}"
    fi
    echo "machine: $windows_build_why; Windows programs run on $(windows_build_name "$windows_build") (build/$windows_build)"
}

# For a Windows build: the option of the Wine scripts (in the array
# wine_session_option), the file that its session writes (wine_session_env)
# and the processor that the end-to-end tests are told (wine_build_arch).
use_windows_build() {
    if [[ $1 == windows64 ]]; then
        wine_session_option=(--win64)
        wine_session_env=$machine_repo/build/wine-session64.env
        wine_build_arch=x86_64
    else
        wine_session_option=()
        wine_session_env=$machine_repo/build/wine-session.env
        wine_build_arch=i686
    fi
}

# The name by which summaries and reports call a Windows build.
windows_build_name() {
    case $1 in
    windows) echo "the 32-bit product" ;;
    windows64) echo "the 64-bit twin" ;;
    esac
}
