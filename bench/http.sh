# HTTP benchmark against nginx: GetString on a 256 MiB body beside curl, the
# peak working set of that call, and 100 small pages in a row beside curl in
# one process; the component with Timeout 0 and with Timeout 60. The three
# take turns, which goes first rotating, for 5 repeats; the report gives
# medians and the median of each repeat's own ratio. Sourced by bench/run.
bench_http() {
    local mib=${QUORLIN_BENCH_HTTP_MIB:-256} count=${QUORLIN_BENCH_HTTP_PAGES:-100}
    local repeats=${QUORLIN_BENCH_REPEATS:-5}
    local base=http://127.0.0.1:$HTTP_PORT results=$OUT/bench-http.results repeat turn
    log "http: a $mib MiB body and $count small pages, $repeats repeats"
    head -c $((mib * 1024 * 1024)) /dev/urandom >"$WWW/large.bin"
    head -c 2000 /dev/urandom | base64 >"$WWW/small.txt"
    : >"$results"
    for repeat in $(seq 1 "$repeats"); do
        for turn in 0 1 2; do
            case $(((repeat + turn) % 3)) in
            0) page_by_quorlin "$repeat" 0 ;;
            1) page_by_quorlin "$repeat" 60 ;;
            2) page_by_curl "$repeat" ;;
            esac || return 1
        done
    done
    python3 "$REPO/bench/http_report.py" "$mib" "$count" "$PINNED" "$results"
    rm -f "$WWW/large.bin" "$WWW/small.txt"
}

# One turn: lines "REPEAT TOOL FIGURE VALUE" in $results.
page_by_quorlin() {  # repeat timeout
    "${RUNNER[@]}" $WINE "$BUILD/bench/http_bench.exe" "$base/large.bin" "$base/small.txt" "$count" "$2" \
        >"$OUT/bench-http.log" 2>&1 || { cat "$OUT/bench-http.log"; return 1; }
    sed -nE "s/^RESULT ([a-z-]+) ([0-9.]+)/$1 timeout-$2 \1 \2/p" "$OUT/bench-http.log" >>"$results"
}
page_by_curl() {
    printf '%s curl large-seconds %s\n' "$1" "$(timed curl -sS -o /dev/null "$base/large.bin")"
    printf '%s curl small-seconds %s\n' "$1" \
        "$(timed curl -sS $(for i in $(seq 1 "$count"); do printf -- '-o /dev/null %s ' "$base/small.txt"; done))"
} >>"$results"
