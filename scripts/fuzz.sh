#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs them.
#
#   scripts/fuzz.sh [seconds] [target...]   fuzz each target for `seconds` (default 60)
#   scripts/fuzz.sh --regression            run every kept input of tests/fuzz/corpus once
#
# Fuzzing works on a scratch corpus under build/fuzz-work/<target>/, seeded from
# tests/fuzz/corpus/<target>/; new interesting inputs stay there. Only inputs that crash,
# leak or hang are copied back into tests/fuzz/corpus/<target>/, where they become
# permanent regression inputs. The exit status is 1 when any target found something.
#
# Environment: FUZZ_PARALLEL (targets at once, default 2), FUZZ_KEEP_GOING=1 (fork mode
# that records a crash and fuzzes on instead of stopping at the first one; its findings
# stay in build/fuzz-work/<target>/artifacts/ to be sorted by hand), and
# VELMORA_FUZZ_ALLOW_SETTINGS_DRIFT=1 (fuzz_settings looks past a rewritten file that differs
# from the one before, so a campaign can search for other faults while that one is open).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz"
work="$root/build/fuzz-work"
targets_all=(fuzz_headers fuzz_writer fuzz_command_line fuzz_settings)

# Per target: dictionary and longest input. Streams need room for a few of the largest
# frames (3840 bytes); command lines and settings files are short texts.
dict_of() {
    case "$1" in
        fuzz_headers) echo headers.dict ;;
        fuzz_writer) echo writer.dict ;;
        fuzz_command_line) echo command_line.dict ;;
        fuzz_settings) echo settings.dict ;;
    esac
}
max_len_of() {
    case "$1" in
        fuzz_headers) echo 8192 ;;
        fuzz_writer) echo 16384 ;;
        fuzz_command_line) echo 1024 ;;
        fuzz_settings) echo 2048 ;;
    esac
}

build_targets() {
    mkdir -p "$work"
    cmake --preset fuzz >/dev/null
    if ! nice -n 10 cmake --build "$build" -j2 --target "${targets_all[@]}" \
        >"$work/build.log" 2>&1; then
        grep -E 'error|FAILED' "$work/build.log" | head -20 >&2 || true
        echo "fuzz: the fuzz preset did not build; see $work/build.log" >&2
        exit 1
    fi
}

# The targets write their scratch files under TMPDIR; memory is much faster than the disk
# for the thousands of small files a run makes, and nothing is left in /tmp after a crash.
scratch_tmp() {
    local base=/dev/shm
    [ -d "$base" ] && [ -w "$base" ] || base="$work"
    local dir="$base/velmora-fuzz-tmp-$$"
    mkdir -p "$dir"
    echo "$dir"
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

if [ "${1:-}" = "--regression" ]; then
    build_targets
    TMPDIR="$(scratch_tmp)"
    export TMPDIR
    trap 'rm -rf "$TMPDIR"' EXIT
    status=0
    for t in "${targets_all[@]}"; do
        corpus="$root/tests/fuzz/corpus/$t"
        [ -d "$corpus" ] || { echo "fuzz: no corpus for $t" >&2; status=1; continue; }
        log="$work/regression-$t.log"
        mkdir -p "$work"
        # Given files rather than a folder, libFuzzer executes each one once, without
        # fuzzing, and names the file it is running, so a failure points at its input.
        if nice -n 10 "$build/tests/fuzz/$t" -runs=0 -timeout=25 -rss_limit_mb=2048 \
            -artifact_prefix="$work/regression-$t-" "$corpus"/* >"$log" 2>&1; then
            echo "fuzz regression: $t ok ($(ls "$corpus" | wc -l) inputs)"
        else
            echo "fuzz regression: $t FAILED on $(grep -E '^Running: ' "$log" | tail -1 |
                cut -d' ' -f2-); see $log" >&2
            grep -E 'ERROR|property broken|SUMMARY' "$log" | head -20 >&2 || true
            status=1
        fi
    done
    exit $status
fi

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${targets_all[@]}")
parallel="${FUZZ_PARALLEL:-2}"

build_targets
TMPDIR="$(scratch_tmp)"
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

run_one() {
    local t="$1" dir="$work/$1"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    # Findings of earlier runs were copied into the repository's corpus already.
    rm -f "$dir/artifacts/"*
    cp -n "$root/tests/fuzz/corpus/$t/"* "$dir/corpus/" 2>/dev/null || true
    local mode=()
    if [ "${FUZZ_KEEP_GOING:-0}" = 1 ]; then
        mode=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    fi
    nice -n 10 "$build/tests/fuzz/$t" "${mode[@]}" \
        -max_total_time="$seconds" -max_len="$(max_len_of "$t")" \
        -dict="$root/tests/fuzz/$(dict_of "$t")" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
        "$dir/corpus" >"$dir/last-run.log" 2>&1
}

summarise() {
    local t="$1" rc="$2" dir="$work/$1"
    local log="$dir/last-run.log"
    local runs cov
    runs="$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$' ||
        grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#' || true)"
    cov="$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)"
    printf '%-18s rc=%s executions=%s %s corpus=%s\n' "$t" "$rc" "${runs:-?}" "${cov:-}" \
        "$(ls "$dir/corpus" | wc -l)"
    local found=0
    if [ "${FUZZ_KEEP_GOING:-0}" = 1 ]; then
        # Fork mode writes one file per crashing run, mostly the same fault over and over:
        # they are left for a person to sort rather than copied into the repository.
        found="$(find "$dir/artifacts" -type f | wc -l)"
        [ "$found" -eq 0 ] || echo "  $found findings left in $dir/artifacts/ to sort and keep"
        [ "$found" -eq 0 ] && { [ "$rc" -eq 0 ] || [ "$rc" -eq 77 ]; }
        return
    fi
    for artifact in "$dir/artifacts/"*; do
        [ -f "$artifact" ] || continue
        found=1
        local name
        name="$(basename "$artifact")"
        if [ ! -e "$root/tests/fuzz/corpus/$t/$name" ]; then
            cp "$artifact" "$root/tests/fuzz/corpus/$t/$name"
            echo "  NEW FINDING kept as tests/fuzz/corpus/$t/$name (log: $log)"
        fi
    done
    [ "$rc" -eq 0 ] && [ $found -eq 0 ]
}

status=0
pids=()
names=()
for t in "${targets[@]}"; do
    run_one "$t" &
    pids+=($!)
    names+=("$t")
    if [ ${#pids[@]} -ge "$parallel" ]; then
        rc=0
        wait "${pids[0]}" || rc=$?
        summarise "${names[0]}" "$rc" || status=1
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
done
for i in "${!pids[@]}"; do
    rc=0
    wait "${pids[$i]}" || rc=$?
    summarise "${names[$i]}" "$rc" || status=1
done
exit $status
