#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite on SQLite
# and on a throwaway PostgreSQL server.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
bash "$root/tools/build.sh"
bash "$root/tools/with-postgres.sh" \
  ctest --test-dir "$root/build" --output-on-failure -j 2 --timeout 900
