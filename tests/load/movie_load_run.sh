#!/usr/bin/env bash
# The movie tests, run again and again while busy loops take the processor from them: a slow
# machine must never turn into a wrong frame. Every failed case counts (a wrong frame fails its
# test); the busy loops are started here and ended by their process ids on every way out.
# Usage: movie_load_run.sh MEDIA_TESTS CLI_TESTS [RUNS] [BUSY_LOOPS]
set -u
media_tests=$1
cli_tests=$2
runs=${3:-20}
loops=${4:-8}

# Reading movies in every order, by frame and by media time, through the cache; whole frames
# of a movie project at jumping ranges, backwards and at interpolated positions.
media_filter='*MovieCorpus*:*MovieOrders*:*MovieCache*:*MovieWindow*'
cli_filter='FrameModeTest.*:FrameRangeTest.PartsJoinIntoTheWholeExport:ExportModeTest.EveryFrameIsWrittenAsTheFrameModeRendersIt:ContainerExportTest.PartsJoinIntoTheWholeExport'

busy=()
end_busy_loops() {
    for pid in "${busy[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${busy[@]}"; do
        wait "$pid" 2>/dev/null
    done
    busy=()
}
trap end_busy_loops EXIT
trap 'exit 130' INT TERM

for ((i = 0; i < loops; i++)); do
    sh -c 'while :; do :; done' &
    busy+=($!)
done

failures=0
for ((run = 1; run <= runs; run++)); do
    for tests in "$media_tests:$media_filter" "$cli_tests:$cli_filter"; do
        program=${tests%%:*}
        filter=${tests#*:}
        log=$("$program" --gtest_filter="$filter" --gtest_brief=1 2>&1)
        status=$?
        # Each failed case once, with its time; the summary lists it again without.
        failed=$(grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' <<<"$log")
        # A program that ended without a verdict (a crash) counts as one failure.
        if ((status != 0 && failed == 0)); then
            failed=1
        fi
        if ((failed > 0)); then
            failures=$((failures + failed))
            echo "run $run: $(basename "$program"): $failed failed"
            grep -E '^\[  FAILED  \]|Failure|differs|Expected' <<<"$log" | head -40
        fi
    done
    echo "run $run of $runs: $failures failed cases so far"
done
echo "wrong frames under load: $failures in $runs runs with $loops busy loops"
((failures == 0))
