#!/usr/bin/env bash
# Runs a console program of the windows build under Wine in PREFIX and
# returns its exit code.
# usage: wine_run.sh PREFIX PROGRAM [ARGUMENT...]
set -uo pipefail
if ! command -v wine >/dev/null; then
    echo "SKIP: Wine is missing; ./dev wine installs it"
    exit 77
fi
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
wine "$@"
status=$?
wineserver -w
exit $status
