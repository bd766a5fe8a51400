# Tree benchmark against vsftpd: PutDirectory and GetDirectory on 2,000 files
# of 4 KiB in 20 folders, beside the platform's calls in a plain loop and
# beside lftp's mirror. Sourced by bench/run.
bench_tree() {
    local folders=${QUORLIN_BENCH_TREE_FOLDERS:-20} per_folder=${QUORLIN_BENCH_TREE_FILES:-100}
    local local=$SCRATCH/bench-tree remote_root=$FTP_HOME/bench-tree folder i
    command -v lftp >/dev/null || apt_install lftp
    log "tree: $folders folders of $per_folder files of 4 KiB"
    for i in $(seq -w 1 "$folders"); do
        mkdir -p "$local/src/d$i"
        random_files "$local/src/d$i" "$per_folder" 4096
    done
    install -d -o "$FTP_USER" "$remote_root"
    "${RUNNER[@]}" $WINE "$BUILD/bench/tree_bench.exe" $PORT "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" \
        "$(readlink -f "$remote_root")" >"$OUT/bench-tree.log" 2>&1 || { cat "$OUT/bench-tree.log"; return 1; }
    diff -r "$local/src" "$remote_root/quorlin-up" >/dev/null || { echo "the uploaded tree differs"; return 1; }
    diff -r "$local/src" "$local/quorlin-down0" >/dev/null || { echo "the downloaded tree differs"; return 1; }

    log "tree: lftp mirror"
    local site=(lftp -u "$FTP_USER,$FTP_PASSWORD" -p "$PORT" 127.0.0.1 -e)
    local put get
    put=$(timed "${site[@]}" "set ftp:passive-mode on; mirror -R $local/src bench-tree/lftp-up; quit")
    get=$(timed "${site[@]}" "set ftp:passive-mode on; mirror bench-tree/lftp-up $local/lftp-down; quit")
    diff -r "$local/src" "$local/lftp-down" >/dev/null || { echo "lftp's tree differs"; return 1; }
    local files=$((folders * per_folder))
    echo "tree benchmark, vsftpd on loopback, $files files of 4 KiB in $folders folders (wineserver pinned: $PINNED)"
    grep -v '^RESULT' "$OUT/bench-tree.log"
    python3 -c "import sys; f=$files; print('  lftp mirror -R %.2f ms/file, mirror %.2f ms/file' % ($put*1e3/f, $get*1e3/f))"
    rm -rf "$local" "$remote_root"
}
