# Transfer benchmark against vsftpd on loopback: GetFile and PutFile (binary)
# on one 512 MiB file and on 500 files of 4 KiB, each beside curl doing the
# same work on the same server. The component and curl take turns, which goes
# first alternating, for 5 repeats; the report gives medians and the median of
# each repeat's own ratio. Sourced by bench/run.
# Over TLS: bench_transfer PORT SECURITY, with curl --ssl-reqd trusting the
# suite's CA (it reaches the server as localhost, the name its certificate
# holds for OpenSSL).
bench_transfer() {
    local port=${1:-$PORT} security=${2:-0}
    local large_mib=${QUORLIN_BENCH_LARGE_MIB:-512} small_count=${QUORLIN_BENCH_SMALL_COUNT:-500}
    local repeats=${QUORLIN_BENCH_REPEATS:-5} curl_tls=()
    local base=ftp://127.0.0.1:$port/bench local=$SCRATCH/bench results=$OUT/bench-transfer.results name i repeat
    if [ "$security" != 0 ]; then
        curl_tls=(--ssl-reqd --cacert "$TLS/ca.crt")
        base=ftp://localhost:$port/bench
        [ "$security" = 2 ] && base=ftps://localhost:$port/bench
    fi
    log "transfer: preparing $large_mib MiB and $small_count x 4 KiB of data, $repeats repeats"
    mkdir -p "$local/small" "$local/curl-back"
    install -d -o "$FTP_USER" "$FTP_HOME/bench" "$FTP_HOME/bench/curl"
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$local/large.bin"
    random_files "$local/small" "$small_count" 4096
    # One curl process per batch, so it reuses its connection as the component does.
    for i in $(seq 0 $((small_count - 1))); do
        name=$(printf 'f%04d.bin' "$i")
        printf 'upload-file = "%s"\nurl = "%s"\n' "$local/small/$name" "$base/curl/$name"
    done >"$local/put.curlrc"
    for i in $(seq 0 $((small_count - 1))); do
        name=$(printf 'f%04d.bin' "$i")
        printf 'url = "%s"\noutput = "%s"\n' "$base/$name" "$local/curl-back/$name"
    done >"$local/get.curlrc"
    if [ "$security" != 0 ]; then
        # Now and then curl waits on a finished download until vsftpd's
        # five-minute data time-out: a small file's transfer gets 5 s at most.
        sed -i '1i max-time = 5' "$local/get.curlrc" "$local/put.curlrc"
    fi
    : >"$results"
    for repeat in $(seq 1 "$repeats"); do
        if [ $((repeat % 2)) = 1 ]; then
            transfer_by_quorlin "$repeat" && transfer_by_curl "$repeat"
        else
            transfer_by_curl "$repeat" && transfer_by_quorlin "$repeat"
        fi || return 1
    done
    python3 "$REPO/bench/transfer_report.py" "$large_mib" "$small_count" "$PINNED" "$results" "$security"
    rm -rf "$local" "$FTP_HOME/bench"
}

# One repeat of each tool: lines "REPEAT TOOL OPERATION SECONDS" in $results.
transfer_by_quorlin() {
    rm -rf "$local/small-back" "$local/small-fresh"
    mkdir -p "$local/small-back" "$local/small-fresh"
    "${RUNNER[@]}" $WINE "$BUILD/bench/transfer_bench.exe" "$port" "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" \
        large.bin "$small_count" "$security" >"$OUT/bench-transfer.log" 2>&1 || { cat "$OUT/bench-transfer.log"; return 1; }
    cmp -s "$local/large.bin" "$local/large.bin.back" || { echo "large file came back different"; return 1; }
    cmp -s "$local/small/f0000.bin" "$local/small-back/f0000.bin" || { echo "small file came back different"; return 1; }
    sed -nE "s/^RESULT ([a-z-]+) ([0-9.]+).*/$1 quorlin \1 \2/p" "$OUT/bench-transfer.log" >>"$results"
}
transfer_by_curl() {
    local auth=(--user "$FTP_USER:$FTP_PASSWORD" -sS -4 "${curl_tls[@]}")
    printf '%s curl put-large %s\n' "$1" "$(timed curl "${auth[@]}" -T "$local/large.bin" "$base/curl/large.bin")"
    printf '%s curl get-large %s\n' "$1" "$(timed curl "${auth[@]}" -o "$local/curl-back/large.bin" "$base/large.bin")"
    cmp -s "$local/large.bin" "$local/curl-back/large.bin" || { echo "curl's large file differs" >&2; return 1; }
    printf '%s curl put-small %s\n' "$1" "$(timed curl "${auth[@]}" -K "$local/put.curlrc")"
    printf '%s curl get-small %s\n' "$1" "$(timed curl "${auth[@]}" -K "$local/get.curlrc")"
} >>"$results"
