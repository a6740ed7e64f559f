#!/bin/sh
# Runs a built program, giving tessel "-j N" before its own options: the
# command-line cases run this way (as TESSEL_CLI_WRAPPER="with-jobs.sh N")
# judge on N threads and must print what they print on one.
jobs=$1 program=$2
shift 2
if [ "$program" = tessel ]; then exec "$program" -j "$jobs" "$@"; fi
exec "$program" "$@"
