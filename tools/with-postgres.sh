#!/usr/bin/env bash
# Runs a command with a throwaway PostgreSQL 15 cluster on 127.0.0.1:5433,
# its admin URL in JEX770_TEST_PG; the cluster is removed afterwards.
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
port="${JEX770_PG_PORT:-5433}"
# Take the first free port from there: another server may be listening.
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
  port=$((port + 1))
done
dir="$(mktemp -d /tmp/jex770-pg.XXXXXX)"
run_as=()
if [[ $(id -u) -eq 0 ]]; then
  chown postgres "$dir"
  run_as=(runuser -u postgres --)
fi
cleanup() {
  "${run_as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
"${run_as[@]}" "$bin/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >/dev/null
"${run_as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w \
  -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
export JEX770_TEST_PG="postgresql://postgres@127.0.0.1:$port/postgres"
echo "PostgreSQL di prova pronto: $JEX770_TEST_PG"
"$@"
