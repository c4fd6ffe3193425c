#!/usr/bin/env bash
# Prepares the user's working folder and runs the program there: it keeps "www/", its log
# "Brightowl.log" and "readme.pdf" in its current directory.
#   brightowl-launch.sh <program> <shipped www folder> <readme.pdf>
set -euo pipefail
program=$1
shipped_www=$2
readme=$3
work="${XDG_DATA_HOME:-$HOME/.local/share}/brightowl"
mkdir -p "$work/www"
# The shipped pages are brought up to date when the shipped copy is newer; a page the user has
# changed since is kept, and so is the wizard's own www/index.html, which is never shipped.
if [ -d "$shipped_www" ]; then
    cp -ru "$shipped_www/." "$work/www/"
fi
# The readme is made from README.md at build time: always the current one.
if [ -f "$readme" ]; then
    cp -f "$readme" "$work/readme.pdf"
fi
cd "$work"
echo "Brightowl runs in $work"
exec "$program"
