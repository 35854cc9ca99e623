#!/usr/bin/env bash
# Whole-process timings of the tqprod tool beside the sqlite3 command line on
# the same machine, in the same run:
#   - `tqprod get KEY VALUE` against `sqlite3 DB 'select ...'` reading one row;
#   - `tqprod import` of .reg files of 1k, 10k and 100k keys against sqlite3
#     inserting the same rows in one transaction (same WAL and sync mode);
#   - a single durable `tqprod set`, on its own.
# usage: bench/tool_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: tool_bench.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-200}
tool=$build/tools/tqprod/tqprod
work=$(mktemp -d "${TMPDIR:-/tmp}/tq-toolbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TQ_REGISTRY_DIR=$work/reg

now() { date +%s.%N; }
# elapsed START: seconds since START
elapsed() { echo "$(now) - $1" | bc -l; }
ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

# A .reg file of N keys below SOFTWARE\Bench\Nk, three values each.
make_reg() {
  awk -v n="$1" 'BEGIN {
    print "Windows Registry Editor Version 5.00"; print ""
    for (i = 0; i < n; i++) {
      printf "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\\N%d\\k%d]\n", n, i
      printf "\"Name\"=\"Product %d\"\n\"Num\"=dword:%08x\n\"Dir\"=\"/opt/tq/product%d\"\n\n", i, i, i
    }
  }'
}
# The same rows as SQL for sqlite3, in the registry's own schema.
make_sql() {
  awk -v n="$1" -v sync="$2" 'BEGIN {
    print "PRAGMA journal_mode = WAL;"; printf "PRAGMA synchronous = %s;\n", sync
    print "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT COLLATE NOCASE, depth INTEGER);"
    print "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, name);"
    print "CREATE TABLE IF NOT EXISTS vals(key INTEGER, name TEXT COLLATE NOCASE, seq INTEGER, type INTEGER, data BLOB, PRIMARY KEY(key, name)) WITHOUT ROWID;"
    print "CREATE INDEX IF NOT EXISTS vals_by_seq ON vals(key, seq);"
    print "BEGIN;"
    for (i = 0; i < n; i++) {
      printf "INSERT INTO keys VALUES(%d, 0, %ck%d%c, 3);\n", i + 1, 39, i, 39
      printf "INSERT INTO vals VALUES(%d, %cName%c, 1, 1, %cProduct %d%c);\n", i + 1, 39, 39, 39, i, 39
      printf "INSERT INTO vals VALUES(%d, %cNum%c, 2, 4, %d);\n", i + 1, 39, 39, i
      printf "INSERT INTO vals VALUES(%d, %cDir%c, 3, 1, %c/opt/tq/product%d%c);\n", i + 1, 39, 39, 39, i, 39
    }
    print "COMMIT;"
  }'
}

sync=FULL
[ "${TQ_REGISTRY_SYNC:-}" = normal ] && sync=NORMAL
echo "machine: $(nproc) cores, $(uname -m), sync $sync"
printf '%-28s %12s %12s %8s\n' measure tqprod sqlite3 ratio

"$tool" set 'SOFTWARE\Bench\Get' v string hello >/dev/null 2>&1
key=$(sqlite3 "$TQ_REGISTRY_DIR/ctx0.db" \
  "select k.id from keys k join keys b on k.parent = b.id where k.name = 'Get' and b.name = 'Bench'")
t=$(now); for ((i = 0; i < runs; i++)); do "$tool" get 'SOFTWARE\Bench\Get' v >/dev/null; done
a=$(elapsed "$t")
t=$(now); for ((i = 0; i < runs; i++)); do
  sqlite3 "$TQ_REGISTRY_DIR/ctx0.db" "select data from vals where key = $key and name = 'v'" >/dev/null
done
b=$(elapsed "$t")
printf '%-28s %10.2fms %10.2fms %8s\n' "get (one process)" "$(echo "$a * 1000 / $runs" | bc -l)" \
  "$(echo "$b * 1000 / $runs" | bc -l)" "$(ratio "$a" "$b")"

for n in 1000 10000 100000; do
  make_reg "$n" >"$work/in.reg"
  make_sql "$n" "$sync" >"$work/in.sql"
  t=$(now); "$tool" import "$work/in.reg" >/dev/null; a=$(elapsed "$t")
  rm -f "$work/raw.db"*
  t=$(now); sqlite3 "$work/raw.db" <"$work/in.sql" >/dev/null; b=$(elapsed "$t")
  printf '%-28s %11.3fs %11.3fs %8s\n' "import $n keys" "$a" "$b" "$(ratio "$a" "$b")"
done

t=$(now); for ((i = 0; i < 20; i++)); do "$tool" set 'SOFTWARE\Bench\Get' v number "$i" >/dev/null; done
a=$(elapsed "$t")
printf '%-28s %10.2fms\n' "set (one durable write)" "$(echo "$a * 1000 / 20" | bc -l)"
