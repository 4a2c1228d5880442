#!/usr/bin/env bash
# Readings at the line's full rate (a trigger every 11.5 ms, 87 a second) through a full
# disk, a write lock held by another program, the file deleted alone, the file deleted with its
# log, and a backup moved over the path, against the real program and the simulated meter: how
# many readings the meter sent while the program recorded, how many records its file holds at
# the end, whether their numbers run without a gap, and whether every file left is sound and
# the backup untouched.
# Needs root (a small tmpfs stands for the full disk). Usage: bench/bench_faults.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
mkdir "$work/disk"
mount -t tmpfs -o size=16m tmpfs "$work/disk"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  umount "$work/disk" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
keep=${KEEP:-}

db="$work/disk/data.db"
mkfifo "$work/commands"
"$build/tools/meter-sim/qmr4070-sim" --state trigger=ext --trigger-every 0.0115 --log "$work/sim.log" \
  --link "$work/meter" <"$work/commands" >/dev/null 2>&1 &
pids+=($!)
exec 3>"$work/commands"
while [ ! -e "$work/meter" ]; do sleep 0.05; done
QMR4070_PORT="$work/meter" QMR4070_DB="$db" QT_QPA_PLATFORM=offscreen \
  QT_LOGGING_RULES="qmr4070.records=true" "$build/src/app/qmr4070" 2>"$work/program.log" &
program=$!
pids+=("$program")
sleep 1
echo status >&3 # the switch panel learns "外"; from now on every reading is recorded
sleep 5

echo "full disk for 10 s"
dd if=/dev/zero of="$work/disk/ballast" bs=64k 2>/dev/null || true
sleep 10
rm "$work/disk/ballast"
sleep 5

echo "write lock held by another program for 10 s"
python3 - "$db" <<'EOF'
import sqlite3, sys, time
db = sqlite3.connect(sys.argv[1], isolation_level=None, timeout=10)
db.execute("BEGIN EXCLUSIVE")
time.sleep(10)
db.execute("ROLLBACK")
EOF
sleep 5

echo "record file deleted under the program, its log left"
rm -f "$db"
sleep 5

echo "record file deleted under the program with its log"
rm -f "$db" "$db-wal" "$db-shm"
sleep 5

echo "a backup moved over the path"
python3 - "$db" "$work/disk/backup.db" <<'EOF'
import sqlite3, sys
source = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
source.backup(sqlite3.connect(sys.argv[2]))
EOF
backup_sum=$(sha256sum <"$work/disk/backup.db")
mv "$work/disk/backup.db" "$db"
sleep 5

kill -TERM "$program"
wait "$program" || true
# Measurement frames sent after the status report (AB AC) that told the program "外".
sent=$(awk '$2 == "TX" && $4 == "AC" { on = 1; next } on && $2 == "TX" && $11 ~ /^B/ { n++ } END { print n + 0 }' "$work/sim.log")
echo "backup at the path untouched: $([ "$(sha256sum <"$db")" = "$backup_sum" ] && echo yes || echo NO)"
python3 - "$work/disk" "$sent" <<'EOF'
import glob, os, sqlite3, sys
for path in sorted(glob.glob(os.path.join(sys.argv[1], "*.db"))):
    check = sqlite3.connect(path).execute("PRAGMA integrity_check").fetchone()[0]
    print(f"{os.path.basename(path)}: integrity {check}")
recording = sorted(glob.glob(os.path.join(sys.argv[1], "data-*.db")))[-1]
db = sqlite3.connect(recording)
numbers = [row[0] for row in db.execute('SELECT "编号" FROM data ORDER BY id')]
gaps = sum(1 for a, b in zip(numbers, numbers[1:]) if b != a + 1)
first, last = (numbers[0], numbers[-1]) if numbers else ("-", "-")
print(f"records in {os.path.basename(recording)}: {len(numbers)}, numbers {first}..{last}, gaps {gaps}")
print(f"readings the meter sent on external trigger: {sys.argv[2]}, lost: {int(sys.argv[2]) - len(numbers)}")
EOF
grep -E "records wait|every waiting|not kept|could not be saved|written back" "$work/program.log" | sort | uniq -c | head
