#!/usr/bin/env bash
# The test command. On a fresh Debian 12 (as root, or with sudo) it installs what is missing, builds
# into build/ and runs every test; each run of ctest starts a private PostgreSQL server for the tests
# (the CTest fixture "postgres") and stops it at the end.
#
#   bash scripts/test.sh [--sanitize] [--skip-deps]
#
#   --sanitize   also build build-asan/ with AddressSanitizer + UndefinedBehaviorSanitizer and run the
#                tests there (always on when CI=true)
#   --skip-deps  do not run scripts/install-deps.sh
#
# Environment: CARVELA_JOBS (build jobs, default 2), CTEST_ARGS (extra ctest arguments, e.g. "-R tst_x"),
# CARVELA_BUILD_DIR / CARVELA_ASAN_BUILD_DIR (build folders, default build and build-asan).
# Exits non-zero when anything fails; the last line is a summary.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly ROOT="$PWD"

sanitize=0
[[ "${CI:-}" == "true" ]] && sanitize=1
skip_deps=0
for arg in "$@"; do
    case "$arg" in
        --sanitize) sanitize=1 ;;
        --skip-deps) skip_deps=1 ;;
        -h | --help)
            sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
            exit 0
            ;;
        *)
            echo "test.sh: unknown argument '$arg' (try --help)" >&2
            exit 2
            ;;
    esac
done
jobs="${CARVELA_JOBS:-2}"
started=$SECONDS

# A server whose fixture could not stop it (ctest killed, Ctrl-C) is stopped on the way out.
state_dirs=()
stop_servers() {
    local dir
    for dir in "${state_dirs[@]}"; do
        if [[ -f "$dir/pg.env" ]]; then
            bash "$ROOT/scripts/pg-test-server.sh" stop "$dir" || true
        fi
    done
}
trap stop_servers EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

section() { printf '\n=== %s\n' "$*"; }

if ((!skip_deps)); then
    section "dependencies"
    bash "$ROOT/scripts/install-deps.sh"
fi

# RelWithDebInfo without NDEBUG and QT_NO_DEBUG: optimised, with debug info, assert() and Q_ASSERT on.
readonly CXX_FLAGS="-O2 -g -UNDEBUG -UQT_NO_DEBUG"

summary=()
failed=0
total_passed=0
total_failed=0

# suite NAME BUILD_DIR [cmake options...]: configure, build, run ctest; records the outcome.
suite() {
    local name="$1" dir="$2"
    shift 2
    local suite_started=$SECONDS
    [[ "$dir" == /* ]] || dir="$ROOT/$dir"
    state_dirs+=("$dir/pgtest")

    section "$name: configure ($dir)"
    if ! cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$CXX_FLAGS" -DCARVELA_WERROR=ON "$@"; then
        summary+=("$name: configure FAILED")
        failed=1
        return
    fi

    section "$name: build (-j$jobs)"
    if ! cmake --build "$dir" -j "$jobs"; then
        summary+=("$name: build FAILED")
        failed=1
        return
    fi

    section "$name: ctest"
    local log="$dir/ctest.log"
    local status=0
    # shellcheck disable=SC2086 # CTEST_ARGS is split into words on purpose
    (cd "$dir" && ctest --output-on-failure ${CTEST_ARGS:-}) 2>&1 | tee "$log" || status=$?
    local result
    result=$(grep -E 'tests passed|No tests were found' "$log" | tail -n 1 || true)
    [[ -n "$result" ]] || result="ctest ended without a result (status $status)"
    if [[ "$result" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        total_failed=$((total_failed + BASH_REMATCH[1]))
        total_passed=$((total_passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
    if ((status != 0)); then
        summary+=("$name: FAILED - $result ($((SECONDS - suite_started))s with the build)")
        failed=1
    else
        summary+=("$name: $result ($((SECONDS - suite_started))s with the build)")
    fi
    stop_servers
}

suite "tests" "${CARVELA_BUILD_DIR:-build}"

if ((sanitize)); then
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    suite "sanitized tests" "${CARVELA_ASAN_BUILD_DIR:-build-asan}" -DCARVELA_SANITIZE=ON
fi

elapsed=$((SECONDS - started))
section "summary"
for line in "${summary[@]}"; do
    echo "  $line"
done
echo "test.sh: after ${elapsed}s"
echo "${total_passed} passed, ${total_failed} failed"
if ((failed)); then
    echo "test.sh: FAILED"
    exit 1
fi

