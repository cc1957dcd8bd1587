#!/usr/bin/env bash
# Runs every benchmark of the project and prints each workload's figure beside its reference, measured in the
# same run, as a ratio. Builds an optimised tree in build-bench first. The office benchmarks start a headless
# LibreOffice of their own.
#   scripts/bench.sh            (all)
#   ROUNDS=5 scripts/bench.sh   (more rounds for the office benchmarks)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$here/build-bench}"
rounds="${ROUNDS:-3}"
"$here/scripts/install-deps.sh" >/dev/null
BUILD_TYPE=Release "$here/scripts/build.sh" "$build" -DVANTREL_TESTS=OFF -DVANTREL_BENCHMARKS=ON >/dev/null
bin="$build/bin"
export VANTREL_OFFICE_HEADLESS=1 QT_QPA_PLATFORM=offscreen
log="$(mktemp -d)"
trap 'rm -rf "$log"' EXIT

echo "== register: ReadyGrid (all at once; first screen and all rows as the window reads them) and filter of 100 000 records x 80"
echo "   indicators, against the sqlite3 tool"
"$bin/bench_register" --benchmark_repetitions="$rounds" --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$log/register.json" --benchmark_out_format=json >/dev/null
python3 - "$log/register.json" > "$log/register.txt" <<'PY'
import json, sys
runs = {b["run_name"].split("/")[0]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
for ours, ref, label in (("BM_ReadyGrid", "BM_Sqlite3CliSelect", "register ReadyGrid"),
                         ("BM_ReadyGridFirstScreen", "BM_Sqlite3CliSelect", "register first screen"),
                         ("BM_ReadyGridInBackground", "BM_Sqlite3CliSelect", "register all rows in"),
                         ("BM_Filter", "BM_Sqlite3CliFilteredSelect", "register filter")):
    print(f"{label}|{runs[ours]:.0f} ms|sqlite3 {runs[ref]:.0f} ms|{runs[ours] / runs[ref]:.2f}")
PY
echo "== register on the database server: the same 100 000 x 80 on a private PostgreSQL cluster, against psql \\copy"
"$bin/bench_register_server" --benchmark_repetitions="$rounds" --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$log/register-server.json" --benchmark_out_format=json >/dev/null
python3 - "$log/register-server.json" >> "$log/register.txt" <<'PY'
import json, sys
runs = {b["run_name"].split("/")[0]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
ref = runs["BM_PsqlCopy"]
for ours, label in (("BM_ReadyGridServer", "register on the server"),
                    ("BM_ReadyGridServerFirstScreen", "server first screen"),
                    ("BM_ReadyGridServerInBackground", "server all rows in")):
    print(f"{label}|{runs[ours]:.0f} ms|psql \\copy {ref:.0f} ms|{runs[ours] / ref:.2f}")
PY
echo "== due reminders: the list over 100 000 contracts x 3 marked dates (target 100 ms), against sqlite3 on the same columns"
"$bin/bench_due" --benchmark_repetitions="$rounds" --benchmark_report_aggregates_only=true \
  --benchmark_format=json --benchmark_out="$log/due.json" --benchmark_out_format=json >/dev/null
python3 - "$log/due.json" >> "$log/register.txt" <<'PY'
import json, sys
runs = {b["run_name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
ours, ref = runs["BM_DueReminders"], runs["BM_Sqlite3CliSelect"]
print(f"due reminder list|{ours['real_time']:.0f} ms (cpu {ours['cpu_time']:.0f} ms)|sqlite3 {ref['real_time']:.0f} ms"
      f"|{ours['real_time'] / ref['real_time']:.2f}")
PY
cat "$log/register.txt" | tr '|' '\t'

echo "== generation: ten-page template, 80 markers x 3, against the office's bare load + save"
"$bin/bench_generation" "$rounds" | tee "$log/generation.txt"
# docxtemplater (with pizzip) goes into a folder of this run only; node and npm come from the system.
if ! command -v npm >/dev/null; then
  SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
(cd "$log" && npm install --silent --no-audit --no-fund --no-save --prefix "$log/npm" docxtemplater pizzip >/dev/null)
echo "== batch: 100 lease contracts (.Doc) against 100 x the office's bare load + save; 1 000 from .docx; the same"
echo "   through vantrel-generate against docxtemplater filling the .docx 1 000 times and soffice --convert-to pdf"
NODE_PATH="$log/npm/node_modules" "$bin/bench_batch" 100 1000 "$rounds" | tee "$log/batch.txt"
echo "== import: 10 000 x 20 workbook, against sqlite3 .import of the same CSV"
"$bin/bench_import" | tee "$log/import.txt"
echo "== export: 10 000 x 20 register to a new spreadsheet, against the office opening the same CSV"
"$bin/bench_export" "$rounds" | tee "$log/export.txt"
echo "== backup: 20 000 contracts and 500 documents, against zip -r"
"$bin/bench_backup" "$rounds" | tee "$log/backup.txt"

echo "== .docx/.odt templates filled in the program, against docxtemplater on the same files and values"
files="$log/package"
mkdir -p "$files"
VANTREL_BENCH_FILES="$files" "$bin/bench_package_template" --benchmark_repetitions="$rounds" \
  --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$log/package.json" \
  --benchmark_out_format=json >/dev/null
for t in lease large leasesections; do
  NODE_PATH="$log/npm/node_modules" node "$here/bench/documents/docxtemplater-fill.js" "$files/$t.docx" \
    "$files/$t.json" 30 > "$log/docxtemplater-$t.txt"
done
python3 - "$log/package.json" "$log/docxtemplater-lease.txt" "$log/docxtemplater-large.txt" \
  "$log/docxtemplater-leasesections.txt" > "$log/package.txt" <<'PY'
import json, sys
runs = {b["run_name"].split("/")[0]: (b["real_time"], b["cpu_time"]) for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
lease_ref, large_ref, sections_ref = (float(open(p).read()) for p in sys.argv[2:5])
for name, label, ref in (("BM_FillLeaseDocx", "lease template .docx", lease_ref),
                         ("BM_FillLeasePlainDocx", "lease, no clauses .docx", None),
                         ("BM_FillLeaseClausesDocx", "lease, 10 clauses .docx", sections_ref),
                         ("BM_Fill80x3Docx", "80 x 3 template .docx", large_ref),
                         ("BM_Fill80x3Odt", "80 x 3 template .odt", None)):
    real, cpu = runs[name]
    line = f"{label:24s} fill + write {real:6.1f} ms (cpu {cpu:5.1f} ms)"
    if ref is not None:
        line += f"   docxtemplater {ref:6.1f} ms   ratio {real / ref:.2f}"
    print(line)
print(f"lease with 10 clauses / without: ratio {runs['BM_FillLeaseClausesDocx'][0] / runs['BM_FillLeasePlainDocx'][0]:.2f} (target <= 1.5)")
PY
cat "$log/package.txt"

echo
echo "== summary (ratio = ours / reference in this run)"
cat "$log/register.txt" | awk -F'|' '{printf "%-22s ratio %s\n", $1, $4}'
grep -h -i "ratio\|target" "$log/generation.txt" "$log/batch.txt" "$log/import.txt" "$log/export.txt" "$log/backup.txt" \
  "$log/package.txt" | sed 's/^/  /'
echo "machine: $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, load $(cut -d' ' -f1-3 /proc/loadavg)"
