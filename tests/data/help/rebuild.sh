#!/usr/bin/env bash
# Compiles the test help files from their projects. Needs chmcmd (Debian package fp-utils);
# the tests use the committed .chm files and do not run this.
set -euo pipefail
cd "$(dirname "$0")"
(cd main && chmcmd --no-html-scan vorlane-test.hhp)
(cd other && chmcmd --no-html-scan other.hhp)
