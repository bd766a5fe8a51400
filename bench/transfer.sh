# Transfer benchmark against vsftpd on loopback: GetFile and PutFile (binary)
# on one 512 MiB file and on 2,000 files of 4 KiB, each beside curl doing the
# same work on the same server. Sourced by bench/run.
bench_transfer() {
    local large_mib=${QUORLIN_BENCH_LARGE_MIB:-512} small_count=${QUORLIN_BENCH_SMALL_COUNT:-2000}
    local base=ftp://127.0.0.1:$PORT/bench local=$SCRATCH/bench name i
    log "transfer: preparing $large_mib MiB and $small_count x 4 KiB of data"
    mkdir -p "$local/small" "$local/small-back" "$local/small-fresh" "$local/curl-back"
    install -d -o "$FTP_USER" "$FTP_HOME/bench" "$FTP_HOME/bench/curl"
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$local/large.bin"
    random_files "$local/small" "$small_count" 4096

    log "transfer: quorlin"
    "${RUNNER[@]}" $WINE "$BUILD/bench/transfer_bench.exe" $PORT "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" \
        large.bin "$small_count" >"$OUT/bench-transfer.log" 2>&1 || { cat "$OUT/bench-transfer.log"; return 1; }
    cmp -s "$local/large.bin" "$local/large.bin.back" || { echo "large file came back different"; return 1; }
    cmp -s "$local/small/f0000.bin" "$local/small-back/f0000.bin" || { echo "small file came back different"; return 1; }
    declare -A quorlin curl
    local result seconds
    while read -r _ result seconds _; do quorlin[$result]=$seconds; done < <(grep '^RESULT' "$OUT/bench-transfer.log")

    log "transfer: curl"
    local auth=(--user "$FTP_USER:$FTP_PASSWORD" -sS)
    curl[put-large]=$(timed curl "${auth[@]}" -T "$local/large.bin" "$base/curl/large.bin")
    curl[get-large]=$(timed curl "${auth[@]}" -o "$local/curl-back/large.bin" "$base/large.bin")
    cmp -s "$local/large.bin" "$local/curl-back/large.bin" || { echo "curl's large file differs"; return 1; }
    # One curl process per batch, so it reuses its connection as the component does.
    for i in $(seq 0 $((small_count - 1))); do
        name=$(printf 'f%04d.bin' "$i")
        printf 'upload-file = "%s"\nurl = "%s"\n' "$local/small/$name" "$base/curl/$name"
    done >"$local/put.curlrc"
    for i in $(seq 0 $((small_count - 1))); do
        name=$(printf 'f%04d.bin' "$i")
        printf 'url = "%s"\noutput = "%s"\n' "$base/$name" "$local/curl-back/$name"
    done >"$local/get.curlrc"
    curl[put-small]=$(timed curl "${auth[@]}" -K "$local/put.curlrc")
    curl[get-small]=$(timed curl "${auth[@]}" -K "$local/get.curlrc")

    python3 "$REPO/bench/transfer_report.py" "$large_mib" "$small_count" "$PINNED" \
        "${quorlin[put-large]}" "${quorlin[get-large]}" "${quorlin[put-small]}" "${quorlin[get-small]}" \
        "${quorlin[get-small-fresh]}" \
        "${curl[put-large]}" "${curl[get-large]}" "${curl[put-small]}" "${curl[get-small]}"
    rm -rf "$local" "$FTP_HOME/bench"
}
