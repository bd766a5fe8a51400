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
    python3 - "$results" "$PINNED" <<'REPORT'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
print("session log: the transfer bench with LogFile set against the same without it%s" %
      (" (pinned to one CPU)" if sys.argv[2] == "yes" else ""))
print("%-6s %-16s %10s %10s %8s" % ("", "figure", "without s", "with s", "ratio"))
for transport in dict.fromkeys(r[1] for r in rows):
    for figure in dict.fromkeys(r[3] for r in rows if r[1] == transport):
        times = {mode: {r[0]: float(r[4]) for r in rows if r[1] == transport and r[3] == figure and r[2] == mode}
                 for mode in ("with", "without")}
        ratios = [times["with"][k] / times["without"][k] for k in times["with"] if times["without"].get(k)]
        print("%-6s %-16s %10.3f %10.3f %8.3f" % (transport, figure, statistics.median(times["without"].values()),
                                                  statistics.median(times["with"].values()), statistics.median(ratios)))
REPORT
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
