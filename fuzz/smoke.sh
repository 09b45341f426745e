#!/usr/bin/env bash
# Runs one fuzz target over its committed corpus, then mutates it for a few seconds.
# New inputs go to a scratch folder, so the committed corpus never changes; a crash leaves its
# input in the current folder (crash-*) and fails the run.
# usage: smoke.sh TARGET CORPUS [SECONDS]
set -euo pipefail
target=$1 corpus=$2 seconds=${3:-20}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$PWD/" "$scratch" "$corpus"
