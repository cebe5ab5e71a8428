#!/usr/bin/env bash
# The cycle benchmark (not a test). It builds a Release carvela_bench into build-release/, starts a
# private PostgreSQL with fsync and synchronous_commit on, as a production server has them, and runs
# a first cycle (everything new) and a steady cycle (nothing new) of a generated station on
#   postgresql        the three databases through QPSQL,
#   sqlite            the three databases as SQLite files,
#   postgresql-odbc   the ERP through QODBC and psqlODBC, the driver path SQL Server takes in the field,
# each section beside the floor and the naive pattern on stations of their own, with the ERP
# contents checked equal; then the first two again with [Carvela] SomenteAlterados=1 (mode
# "changed-only"). The server is stopped at the end.
#
#   bash scripts/bench.sh [--quick] [--scale N] [--json FILE] [--skip-deps]
#
#   --quick      a tenth of the default station (10,000 customers, 1,000 suppliers, 10,000 products,
#                2,000 sales of 5 items, 300 purchases of 3 items with 2 instalments, 1,000 movements)
#   --scale N    N times the default station (with --quick, N tenths)
#   --json FILE  one JSON array of every row printed (engine, mode, phase, section, rows, seconds,
#                floor_seconds, naive_seconds, statements_per_row, peak_mib, max_gap_ms, ...)
#   --skip-deps  do not run scripts/install-deps.sh
set -euo pipefail
cd "$(dirname "$0")/.."
readonly ROOT="$PWD"

scale=1
quick=0
json=""
skip_deps=0
while (($#)); do
    case "$1" in
        --quick) quick=1 ;;
        --scale)
            scale="${2:?--scale needs a number}"
            shift
            ;;
        --json)
            json="${2:?--json needs a file}"
            shift
            ;;
        --skip-deps) skip_deps=1 ;;
        -h | --help)
            sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'
            exit 0
            ;;
        *)
            echo "bench.sh: unknown argument '$1' (try --help)" >&2
            exit 2
            ;;
    esac
    shift
done
[[ "$scale" =~ ^[0-9]+([.][0-9]+)?$ ]] || {
    echo "bench.sh: --scale takes a number" >&2
    exit 2
}
factor="$scale"
((quick)) && factor=$(awk -v s="$scale" 'BEGIN { print s / 10 }')

((skip_deps)) || bash scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release -j "${CARVELA_JOBS:-2}" --target carvela_bench

work=$(mktemp -d)
cleanup() {
    bash "$ROOT/scripts/pg-test-server.sh" stop "$work/pg" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
CARVELA_PG_DURABLE=1 bash scripts/pg-test-server.sh start "$work/pg" >/dev/null
export CARVELA_PG_STATE="$work/pg/pg.env"
export QT_QPA_PLATFORM=offscreen

echo "carvela benchmark: scale $factor on $(nproc) cores, $(uname -srm)"
runs=("postgresql spec" "sqlite spec" "postgresql-odbc spec" "postgresql changed-only" "sqlite changed-only")
files=()
for run in "${runs[@]}"; do
    read -r engine mode <<<"$run"
    file="$work/$engine-$mode.json"
    extra=()
    [[ "$mode" == changed-only ]] && extra=(--no-references)
    build-release/bench/carvela_bench --engine "$engine" --mode "$mode" --scale "$factor" --json "$file" "${extra[@]}"
    files+=("$file")
done

if [[ -n "$json" ]]; then
    {
        echo "["
        first=1
        for file in "${files[@]}"; do
            body=$(sed '1d;$d' "$file")
            [[ -z "$body" ]] && continue
            ((first)) || echo ","
            printf '%s' "$body"
            first=0
        done
        echo
        echo "]"
    } >"$json"
    echo "wrote $json"
fi
