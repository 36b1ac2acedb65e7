#!/usr/bin/env bash
# Checks a stand-in SQL*Plus transcript ($1) for an install into APP_HOME $2:
# set_env ran first, then the four installation scripts in order.
set -euo pipefail
TRANSCRIPT=$1
HOME_WIN=$2
order=$(tr -d '\r' < "$TRANSCRIPT" | grep -oiE '(set_env|install_schema|seed_data|compile_packages|lock_schema)\.sql' | uniq | tr '\n' ' ')
[ "$order" = "set_env.sql install_schema.sql seed_data.sql compile_packages.sql lock_schema.sql " ] || {
    echo "scripts ran in this order: $order" >&2
    exit 1
}
