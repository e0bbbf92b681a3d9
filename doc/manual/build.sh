#!/usr/bin/env bash
# Compiles the manual (vorlane.hhp: the pages, pictures, contents, index and context numbers beside
# it) into vorlane.chm, which is committed so that building the program needs no help compiler.
# Needs chmcmd (Debian package fp-utils). Run it after every change here, and commit the result;
# the test tst_manual fails while vorlane.chm is out of date.
set -euo pipefail
cd "$(dirname "$0")"
command -v chmcmd >/dev/null || { echo "chmcmd is missing: install the Debian package fp-utils" >&2; exit 1; }
out=$(chmcmd --no-html-scan vorlane.hhp 2>&1) || { echo "$out" >&2; exit 1; }
# chmcmd reports a broken project on its output and still exits 0.
if grep -qi 'corrupt\|error\|not found' <<<"$out"; then
    echo "$out" >&2
    exit 1
fi
ls -l vorlane.chm
