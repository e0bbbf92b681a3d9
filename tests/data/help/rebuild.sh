#!/usr/bin/env bash
# Compiles the test help files from their projects. Needs chmcmd (Debian package fp-utils);
# the tests use the committed .chm files and do not run this.
set -euo pipefail
cd "$(dirname "$0")"
(cd main && chmcmd --no-html-scan vorlane-test.hhp)
(cd other && chmcmd --no-html-scan other.hhp)

# A help file in a legacy code page, as a Chinese (PRC) project is written: its sources here are
# UTF-8 and go to the compiler in GBK (iconv). Its title, default topic, contents, index and
# first page are GBK without a charset. The first page's name goes into the file as UTF-8, as
# Microsoft's compiler stores names; the second's as the project's own GBK bytes, as chmcmd
# stores them.
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
main='主界面.htm'
help=$(printf '帮助.htm' | iconv -f UTF-8 -t GBK)
{
    iconv -f UTF-8 -t GBK legacy/legacy.hhp
    printf '[FILES]\r\n%s\r\n%s\r\n' "$main" "$help"
} >"$build/legacy.hhp"
iconv -f UTF-8 -t GBK legacy/main.htm >"$build/$main"
iconv -f UTF-8 -t GBK legacy/help.htm >"$build/$help"
iconv -f UTF-8 -t GBK legacy/contents.hhc >"$build/contents.hhc"
iconv -f UTF-8 -t GBK legacy/index.hhk >"$build/index.hhk"
(cd "$build" && chmcmd --no-html-scan legacy.hhp)
cp "$build/legacy.chm" legacy.chm
