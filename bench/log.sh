# Session-log benchmark: the transfer benchmark's component run with LogFile
# set beside the same run without it, taking turns (which goes first
# alternating), over plain FTP (vsftpd), FTP over TLS (vsftpd, explicit) and
# SFTP (OpenSSH). The report gives each figure's median with and without the
# log and the median of each repeat's own ratio. Sourced by bench/run.
bench_log() {
    source "$REPO/scripts/lib/ftps.sh"
    source "$REPO/scripts/lib/sftp.sh"
    start_ftps_servers
    trust_test_ca x86_64
    start_sftp_servers
    local large_mib=${QUORLIN_BENCH_LARGE_MIB:-256} small_count=${QUORLIN_BENCH_SMALL_COUNT:-500}
    local repeats=${QUORLIN_BENCH_REPEATS:-5} local=$SCRATCH/bench results=$OUT/bench-log.results
    local tls_port sftp_port transport port security repeat
    tls_port=$(cut -d: -f2 <<<"${FTPS_SERVERS%% *}")
    sftp_port=${SFTP_SERVERS#*:}
    sftp_port=${sftp_port%% *}
    log "log: $large_mib MiB and $small_count x 4 KiB, with and without LogFile, $repeats repeats per transport"
    mkdir -p "$local/small"
    install -d -o "$FTP_USER" "$FTP_HOME/bench"
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$local/large.bin"
    random_files "$local/small" "$small_count" 4096
    : >"$results"
    for transport in "ftp:$PORT:0" "ftps:$tls_port:1" "sftp:$sftp_port:sftp"; do
        IFS=: read -r transport port security <<<"$transport"
        for repeat in $(seq 1 "$repeats"); do
            if [ $((repeat % 2)) = 1 ]; then
                log_run "$repeat" with && log_run "$repeat" without
            else
                log_run "$repeat" without && log_run "$repeat" with
            fi || return 1
        done
    done
    python3 "$REPO/bench/pair_report.py" "$results" "$PINNED" \
        "session log: the transfer bench with LogFile set against the same without it" without with
    rm -rf "$local" "$FTP_HOME/bench"
}

# One run of the component: lines "REPEAT TRANSPORT with|without FIGURE SECONDS" in $results.
log_run() {
    local logged=()
    rm -rf "$local/small-back" "$local/small-fresh" "$local/session.log"
    mkdir -p "$local/small-back" "$local/small-fresh"
    [ "$2" = with ] && logged=(QUORLIN_BENCH_LOG="$(winpath "$local")\\session.log")
    env "${logged[@]}" QUORLIN_BENCH_HOST_KEYS="$QUORLIN_SFTP_OPENSSH_FINGERPRINTS" "${RUNNER[@]}" $WINE \
        "$BUILD/bench/transfer_bench.exe" "$port" "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" large.bin \
        "$small_count" "$security" >"$OUT/bench-log.log" 2>&1 || { cat "$OUT/bench-log.log"; return 1; }
    cmp -s "$local/large.bin" "$local/large.bin.back" || { echo "large file came back different"; return 1; }
    if [ "$2" = with ] && ! grep -q "= GetFile ended in" "$local/session.log"; then echo "nothing logged"; return 1; fi
    sed -nE "s/^RESULT ([a-z-]+) ([0-9.]+).*/$1 $transport $2 \1 \2/p" "$OUT/bench-log.log" >>"$results"
}
