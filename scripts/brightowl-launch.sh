#!/usr/bin/env bash
# Prepares the user's working folder and runs the program there: it keeps "www/", its log
# and "readme.pdf" in its current directory.
#   brightowl-launch.sh <program> <folder holding the shipped www/ and readme.pdf>
set -euo pipefail
program=$1
shipped=$2
work="${XDG_DATA_HOME:-$HOME/.local/share}/brightowl"
mkdir -p "$work/www"
# Copy the shipped files that are missing; never overwrite the user's own (the wizard writes www/index.html).
if [ -d "$shipped/www" ]; then
    cp -rn "$shipped/www/." "$work/www/"
fi
[ -f "$shipped/readme.pdf" ] && [ ! -e "$work/readme.pdf" ] && cp "$shipped/readme.pdf" "$work/"
cd "$work"
exec "$program"
