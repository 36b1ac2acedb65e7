#!/usr/bin/env bash
# A short run of the dialogue fuzzer from the seed corpus, in a scratch
# corpus folder. Fails when the fuzzer finds a crash, leak or timeout.
set -uo pipefail
source "$(dirname "$0")/../lib/common.bash"
fuzzer=$1
seconds=${2:-30}
[ -x "$fuzzer" ] || skip "$fuzzer is missing; the ci preset builds the sanitize preset's tree"
make_scratch fuzz
# A crash's input stays in the scratch folder, which a failure keeps.
keep_scratch_on_failure
mkdir -p "$SCRATCH/corpus" "$SCRATCH/work" "$SCRATCH/artifacts"
# Seeds that follow the questions: a default install, and one abandoned at
# the confirmation.
default_answers >"$SCRATCH/corpus/defaults"
{ default_answers $((${#PROMPT_ANSWERS[@]} - 1)); echo N; } >"$SCRATCH/corpus/abandon"
cd "$SCRATCH/work"  # the dialogue's install.log goes here
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -artifact_prefix="$SCRATCH/artifacts/" -print_final_stats=1 \
    "$SCRATCH/corpus" "$ROOT/tests/fuzz/corpus" 2>&1 | tail -12
exit "${PIPESTATUS[0]}"
