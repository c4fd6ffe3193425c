#!/usr/bin/env bash
# Prepares the user's working folder and runs the program there: it keeps "www/", its log
# "Brightowl.log" and "readme.pdf" in its current directory.
#   brightowl-launch.sh <program> <shipped www folder> <readme.pdf>   (from the source tree)
#   brightowl-launch                                                 (installed: the installed files)
# The folder is $XDG_DATA_HOME/brightowl, ~/.local/share/brightowl when that is unset or not absolute.
set -euo pipefail

here=$(dirname "$(readlink -f "$0")")
# The installed layout, relative to this script; the install step writes in its own data folder.
data_dir="$here/../share/brightowl"
program=${1:-$here/brightowl}
shipped_www=${2:-$data_dir/www}
readme=${3:-$data_dir/readme.pdf}

data_home=${XDG_DATA_HOME:-}
if [[ $data_home != /* ]]; then
    data_home="${HOME:?HOME is not set}/.local/share"
fi
work="$data_home/brightowl"
mkdir -p "$work/www"

# Shipped pages that are missing are copied in; a file already there is the user's and stays,
# like the wizard's www/index.html or a view.html the user has edited. The copies take the
# user's own permissions, not those of the read-only installed files, so the user may change them.
if [ -d "$shipped_www" ]; then
    while IFS= read -r -d '' entry; do
        entry=${entry#./}
        if [ -d "$shipped_www/$entry" ]; then
            mkdir -p "$work/www/$entry"
        elif [ ! -e "$work/www/$entry" ] && [ ! -L "$work/www/$entry" ]; then
            cp --no-preserve=mode,ownership -- "$shipped_www/$entry" "$work/www/$entry"
        fi
    done < <(cd "$shipped_www" && find . -mindepth 1 -print0)
fi

# The readme belongs to the program, not the user: always the one that came with this copy.
if [ -f "$readme" ] && ! cmp -s "$readme" "$work/readme.pdf"; then
    cp -f --no-preserve=mode,ownership -- "$readme" "$work/readme.pdf"
fi

cd "$work"
echo "Brightowl runs in $work"
exec "$program"
