# What the time limit costs, against vsftpd: a tree of 500 files of 4 KiB and
# a 256 MiB file, up and down, with Timeout 0 and 60 alternated, medians of 9
# (each figure moves by a few per cent from run to run: 9 repeats settle it).
# Sourced by bench/run.
bench_limits() {
    local folders=${QUORLIN_BENCH_TREE_FOLDERS:-5} per_folder=${QUORLIN_BENCH_TREE_FILES:-100}
    local big=${QUORLIN_BENCH_BIG_MIB:-256} repeats=${QUORLIN_BENCH_REPEATS:-9}
    local local=$SCRATCH/bench-limits remote_root=$FTP_HOME/bench-limits i
    log "limits: $folders folders of $per_folder files of 4 KiB, a $big MiB file, $repeats repeats"
    for i in $(seq -w 1 "$folders"); do
        mkdir -p "$local/src/d$i"
        random_files "$local/src/d$i" "$per_folder" 4096
    done
    head -c $((big << 20)) /dev/urandom >"$local/big.bin"
    install -d -o "$FTP_USER" "$remote_root"
    echo "time-limit benchmark, vsftpd on loopback (wineserver pinned: $PINNED)"
    "${RUNNER[@]}" $WINE "$BUILD/bench/limit_bench.exe" $PORT "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" \
        "$(readlink -f "$remote_root")" $((folders * per_folder)) "$repeats" || return 1
    cmp "$local/big.bin" "$local/big-down.bin" || { echo "the large file came back different"; return 1; }
    diff -r "$local/src" "$local/down-60" >/dev/null || { echo "the tree came back different"; return 1; }
    rm -rf "$local" "$remote_root"
}
