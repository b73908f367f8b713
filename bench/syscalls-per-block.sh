#!/bin/sh
# System calls per flash block of posbench-cli against posbench-printer over TCP loopback or a
# pseudo-terminal, from strace -c -f: a 16-sector flash minus a 1-sector flash, divided by the
# 3840 blocks between them, so that start-up, the fixed pauses and the link recovery after the
# reset drop out.
# Run: bench/syscalls-per-block.sh [BUILD_DIR] [tcp|pty]   (a Release build; needs strace)
set -eu
build=$(cd "${1:-build/release}" && pwd)
medium=${2:-tcp}
case $medium in tcp | pty) ;; *) echo "usage: $0 [BUILD_DIR] [tcp|pty]" >&2; exit 2 ;; esac
work=$(mktemp -d)
printer_pid=
trap 'if [ -n "$printer_pid" ]; then kill "$printer_pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT

# Runs one flash of $1 sectors under strace; leaves the summary in $work/strace.$1.
flash() {
    home=$work/home$1
    mkdir -p "$home"
    rm -f "$work/ready"
    if [ "$medium" = tcp ]; then
        endpoint="--listen 127.0.0.1:0"
    else
        endpoint="--pty $work/com1"
    fi
    # shellcheck disable=SC2086 # the endpoint is two words
    "$build/tools/printer/posbench-printer" $endpoint --ready-file "$work/ready" \
        --flash "$work/flash$1.bin" >/dev/null &
    printer_pid=$!
    n=0
    while [ ! -s "$work/ready" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
    if [ "$medium" = tcp ]; then
        port=$(sed 's/.*://' "$work/ready")
        printf '[Communication]\nTCP=127.0.0.1:%s, ON\n' "$port" >"$home/Startup.ini"
    else
        printf '[Communication]\nCOM1=115200,DTR,ON\n[Devices]\nCOM1=%s\n' "$work/com1" \
            >"$home/Startup.ini"
    fi
    head -c $(($1 * 65536)) /dev/zero | tr '\0' '\125' >"$home/fw.bin"
    printf '[FLA] fw.bin\r\n' >"$home/flash.txt"
    strace -f -c -o "$work/strace.$1" "$build/tools/cli/posbench-cli" --dir "$home" \
        "$home/flash.txt" >/dev/null 2>&1 || true
    kill "$printer_pid" 2>/dev/null || true
    wait "$printer_pid" 2>/dev/null || true
    printer_pid=
}

flash 1
flash 16
# strace -c: "% time seconds usecs/call calls [errors] syscall", then a "total" line.
awk -v blocks=3840 -v medium="$medium" '
    FNR == 1 { file++ }
    $1 ~ /^[0-9.]+$/ && NF >= 5 { name = $NF; calls[file, name] = $4; names[name] = 1 }
    END {
        for (n in names) {
            d = (calls[2, n] - calls[1, n]) / blocks
            if (n == "total") total = d
            else if (d >= 0.05) printf "  %-16s %.2f per block\n", n, d
        }
        printf "system calls per block (%s): %.2f\n", medium, total
    }' "$work/strace.1" "$work/strace.16"
