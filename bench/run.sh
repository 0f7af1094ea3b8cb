#!/usr/bin/env bash
# Builds the benchmarks in Release and runs the whole set (see bench/README.md). The large
# mailbox goes to a temp folder that is deleted at the end; nothing is written into the repo
# except the build folder (build-release/ unless BUILD_DIR says otherwise).
#
#   bench/run.sh                       # 100 000 messages, seed 1
#   MESSAGES=20000 SEED=7 bench/run.sh
#   BUILD_DIR=/tmp/mendora-release bench/run.sh
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$REPO/build-release}
MESSAGES=${MESSAGES:-100000}
SEED=${SEED:-1}
JOBS=${JOBS:-2}
SMALL=${SMALL:-$((MESSAGES / 10))}

echo "== building (Release) in $BUILD_DIR"
mkdir -p "$BUILD_DIR"
cmake -S "$REPO" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DMENDORA_BENCH=ON -DMENDORA_GUI=OFF \
    > "$BUILD_DIR/bench-configure.log" 2>&1 || { cat "$BUILD_DIR/bench-configure.log"; exit 1; }
cmake --build "$BUILD_DIR" -j"$JOBS" --target mendora-make-mailbox mendora-bench-scan
CLI_BUILT=1
cmake --build "$BUILD_DIR" -j"$JOBS" --target mendora-cli || CLI_BUILT=0

MAKE_MAILBOX=$BUILD_DIR/bench/mendora-make-mailbox
BENCH_SCAN=$BUILD_DIR/bench/mendora-bench-scan
CLI=${CLI:-$BUILD_DIR/src/cli/mendora-cli}
[ -x "$CLI" ] || CLI=$REPO/build/src/cli/mendora-cli

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mendora-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
MBOX=$WORK/mailbox.dbx
GENERATE="$MAKE_MAILBOX MBOX.dbx --messages $MESSAGES --seed $SEED"

echo
echo "== generating the mailbox"
echo "\$ $GENERATE"
"$MAKE_MAILBOX" "$MBOX" --messages "$MESSAGES" --seed "$SEED"
sync "$MBOX" # written back now, not during the timed runs

echo
echo "== phases of a recovery run (byte-scan throughput, candidates, rebuild time, peak memory)"
echo "reproduce: $GENERATE && $BENCH_SCAN MBOX.dbx --repeat 5"
"$BENCH_SCAN" "$MBOX" --repeat 5

echo
echo "== whole command-line scan"
if [ -x "$CLI" ]; then
    echo "reproduce: $GENERATE && /usr/bin/time -v $CLI scan MBOX.dbx --json > /dev/null"
    "$CLI" scan "$MBOX" --json > /dev/null 2>&1 || true # once into the page cache
    if [ -x /usr/bin/time ]; then
        # Five runs: this machine's speed varies from run to run, so the median is the figure.
        status=0
        for run in 1 2 3 4 5; do
            /usr/bin/time -f "%e %M" -o "$WORK/time-$run.txt" "$CLI" scan "$MBOX" --json > /dev/null \
                || status=$?
        done
        cat "$WORK"/time-*.txt | sort -n | awk '
            { wall[NR] = $1; if ($2 > rss) rss = $2 }
            END { printf "  wall clock: median %.2f s (best %.2f, worst %.2f, %d runs)\n", wall[int((NR + 1) / 2)], wall[1], wall[NR], NR
                  printf "  maximum resident set: %d kbytes\n", rss }'
        echo "  targets: wall clock <= 3 s, maximum resident set < 200 MB (204800 kbytes)"
        [ "$status" -eq 0 ] || echo "  mendora-cli exited with $status"
    else
        time "$CLI" scan "$MBOX" --json > /dev/null
    fi
else
    [ "$CLI_BUILT" -eq 1 ] || echo "(mendora-cli did not build)"
    echo "skipped: no mendora-cli at $CLI"
fi
rm -f "$MBOX"

echo
echo "== linearity of the chain rebuild ($SMALL and $((SMALL * 10)) messages)"
echo "reproduce: $BENCH_SCAN --linearity --small $SMALL --factor 10 --seed $SEED"
TMPDIR=$WORK "$BENCH_SCAN" --linearity --small "$SMALL" --factor 10 --seed "$SEED"
