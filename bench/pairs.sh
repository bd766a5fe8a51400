# What the benches share that run the component two ways, taking turns (which
# goes first alternating), each run the transfer benchmark's: the data, the
# repeats and one run. They read the caller's $local, $results, $large_mib,
# $small_count, $repeats and, per transport, $transport, $port and $security.
# Sourced by bench/run.

# The large file and the small ones in $local, an empty remote folder, no results yet.
pair_data() {
    mkdir -p "$local/small"
    install -d -o "$FTP_USER" "$FTP_HOME/bench"
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$local/large.bin"
    random_files "$local/small" "$small_count" 4096
    : >"$results"
}

# pair_repeats FIRST SECOND ASSIGNMENT: each repeat runs FIRST as it is and
# SECOND with the environment ASSIGNMENT (NAME=value).
pair_repeats() {
    local repeat
    for repeat in $(seq 1 "$repeats"); do
        if [ $((repeat % 2)) = 1 ]; then
            pair_run "$repeat" "$2" "$3" && pair_run "$repeat" "$1"
        else
            pair_run "$repeat" "$1" && pair_run "$repeat" "$2" "$3"
        fi || return 1
    done
}

# pair_run REPEAT WAY [ASSIGNMENT]: lines "REPEAT TRANSPORT WAY FIGURE SECONDS" in $results.
pair_run() {
    local output=$OUT/bench-pair.log
    rm -rf "$local/small-back" "$local/small-fresh"
    mkdir -p "$local/small-back" "$local/small-fresh"
    env ${3:+"$3"} QUORLIN_BENCH_HOST_KEYS="$QUORLIN_SFTP_OPENSSH_FINGERPRINTS" "${RUNNER[@]}" $WINE \
        "$BUILD/bench/transfer_bench.exe" "$port" "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" large.bin \
        "$small_count" "$security" >"$output" 2>&1 || { cat "$output"; return 1; }
    cmp -s "$local/large.bin" "$local/large.bin.back" || { echo "large file came back different"; return 1; }
    sed -nE "s/^RESULT ([a-z-]+) ([0-9.]+).*/$1 $transport $2 \1 \2/p" "$output" >>"$results"
}
