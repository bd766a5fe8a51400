# SFTP benchmark: the transfer benchmark over SFTP against the suite's OpenSSH
# server, beside OpenSSH's own sftp client (batch mode, on Linux) doing the
# same work, taking turns over 5 repeats; then the FTPS and plain FTP figures
# of the same run. Sourced by bench/run.
bench_sftp() {
    source "$REPO/scripts/lib/ftps.sh"
    source "$REPO/scripts/lib/sftp.sh"
    start_sftp_servers
    local port=${SFTP_SERVERS#*:} large_mib=${QUORLIN_BENCH_LARGE_MIB:-512}
    local small_count=${QUORLIN_BENCH_SMALL_COUNT:-2000} repeats=${QUORLIN_BENCH_REPEATS:-5}
    local local=$SCRATCH/bench results=$OUT/bench-transfer.results key=$OUT/bench-sftp-key repeat
    port=${port%% *}
    log "sftp: preparing $large_mib MiB and $small_count x 4 KiB of data, $repeats repeats"
    mkdir -p "$local/small" "$local/sftp-back"
    install -d -o "$FTP_USER" "$FTP_HOME/bench" "$FTP_HOME/bench/sftp"
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$local/large.bin"
    random_files "$local/small" "$small_count" 4096
    # OpenSSH's client wants a key only its user can read.
    install -m 600 "$SSH_KEYS/client/ecdsa_openssh" "$key"
    printf 'put %s bench/sftp/large.bin\nget bench/large.bin %s\n' "$local/large.bin" "$local/sftp-back/large.bin" \
        >"$local/large.batch"
    (cd "$local/small" && for name in f*.bin; do printf 'put %s bench/sftp/%s\n' "$PWD/$name" "$name"; done) \
        >"$local/put.batch"
    (cd "$local/small" && for name in f*.bin; do printf 'get bench/%s %s\n' "$name" "$local/sftp-back/$name"; done) \
        >"$local/get.batch"
    : >"$results"
    for repeat in $(seq 1 "$repeats"); do
        if [ $((repeat % 2)) = 1 ]; then
            sftp_by_quorlin "$repeat" && sftp_by_openssh "$repeat"
        else
            sftp_by_openssh "$repeat" && sftp_by_quorlin "$repeat"
        fi || return 1
    done
    python3 "$REPO/bench/transfer_report.py" "$large_mib" "$small_count" "$PINNED" "$results" sftp sftp
    rm -rf "$local" "$FTP_HOME/bench" "$key"
    bench_ftps
}

# The transfer benchmark's own run of the component, over SFTP.
sftp_by_quorlin() {
    local security=sftp
    QUORLIN_BENCH_HOST_KEYS=$QUORLIN_SFTP_OPENSSH_FINGERPRINTS transfer_by_quorlin "$1"
}

# One sftp process per batch, so it keeps its session as the component does.
sftp_by_openssh() {
    local client
    client=$(printf '%q ' sftp -q -b - -P "$port" -i "$key" -o IdentitiesOnly=yes -o BatchMode=yes \
        -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null "$FTP_USER@127.0.0.1")
    printf '%s sftp put-large %s\n' "$1" "$(timed sh -c "head -1 '$local/large.batch' | $client")"
    printf '%s sftp get-large %s\n' "$1" "$(timed sh -c "tail -1 '$local/large.batch' | $client")"
    cmp -s "$local/large.bin" "$local/sftp-back/large.bin" || { echo "sftp's large file differs" >&2; return 1; }
    printf '%s sftp put-small %s\n' "$1" "$(timed sh -c "$client <'$local/put.batch'")"
    printf '%s sftp get-small %s\n' "$1" "$(timed sh -c "$client <'$local/get.batch'")"
} >>"$results"
