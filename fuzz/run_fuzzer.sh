#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from its committed seeds.
#   run_fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS
# New inputs go to WORK_DIR/corpus (the seeds are only read), and an input that fails is saved
# under WORK_DIR/failures and named in the output. Exit status 0 when nothing was found.
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work/corpus" "$work/failures"
# -timeout: an input that runs 10 s counts as a hang (a walk over billions of positions, or a
# fill that does not end).
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/failures/" "$work/corpus" "$seeds"
