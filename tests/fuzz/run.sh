#!/usr/bin/env bash
# Builds a libFuzzer target (clang 14 with AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs it for SECONDS (default 60): "run", a whole recovery run over arbitrary bytes, seeded with
# the demo mailbox and the real mailboxes; or "mime", the message service over arbitrary message
# text, seeded with messages recovered from the demo mailbox. Needs Debian's clang-14 and
# libclang-rt-14-dev.
#
#   tests/fuzz/run.sh [run|mime] [SECONDS]
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TARGET=${1:-run}
SECONDS_TO_RUN=${2:-60}
START=$(pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/mendora-fuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

FLAGS=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$REPO/src")
DBX=("$REPO/src/dbx/DbxRecovery.cpp" "$REPO/src/dbx/SourceFile.cpp" "$REPO/src/dbx/TempFolder.cpp")
mkdir -p "$WORK/corpus"
case "$TARGET" in
run)
    clang++-14 "${FLAGS[@]}" "$REPO/tests/fuzz/FuzzRun.cpp" "${DBX[@]}" -o "$WORK/fuzz"
    cp "$REPO/samples/demo.dbx" "$WORK/corpus/"
    if [ -d "$REPO/../shared/real-mailboxes" ]; then
        cp "$REPO"/../shared/real-mailboxes/*.dbx "$WORK/corpus/"
    fi
    ;;
mime)
    # shellcheck disable=SC2046
    clang++-14 "${FLAGS[@]}" $(pkg-config --cflags gmime-3.0) "$REPO/tests/fuzz/FuzzMime.cpp" \
        "$REPO/src/catalogue/MimeService.cpp" $(pkg-config --libs gmime-3.0) -o "$WORK/fuzz"
    for offset in 10964 13076 16772 19412 21196; do
        "$REPO/build/src/cli/mendora-cli" extract "$REPO/samples/demo.dbx" "$offset" \
            -o "$WORK/corpus/$offset.eml" 2>/dev/null || true
    done
    ;;
*)
    echo "usage: tests/fuzz/run.sh [run|mime] [SECONDS]" >&2
    exit 2
    ;;
esac
cd "$WORK"
# Findings are kept in the folder the script was started from.
G_SLICE=always-malloc ./fuzz -max_len=200000 -timeout=10 -rss_limit_mb=1024 \
    -artifact_prefix="$START/fuzz-$TARGET-" -max_total_time="$SECONDS_TO_RUN" corpus
