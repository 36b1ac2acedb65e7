#!/usr/bin/env bash
# A distribution with folders nested past the 260-character path limit, a
# file with a 234-character name, and files and a folder right at the limit.
# 1: Such a distribution cannot be measured: the run is abandoned before the
#    first question (exit status 255), naming a path that is over the limit,
#    and nothing is copied.
# 2: Without the parts past the limit, the file of exactly 259 characters is
#    the deepest: an APP_HOME it would not fit under is refused at its prompt
#    with the length allowed, and the install then copies every file whole
#    (exit status 0), never under a cut-off name.
set -u
source "$(dirname "$0")/lib.bash"

LIMIT=259  # characters in a path, the terminator not counted

start_scratch
folder="$SCRATCH/dist/deep"
for level in $(seq -w 1 12); do
    folder="$folder/level${level}_nested_folder_name_x"
    mkdir -p "$folder"
    echo "level $level" >"$folder/f.txt"
    echo "level $level, long name" >"$folder/a_file_with_a_rather_longer_name_$level.txt"
done
long_name=$(printf 'n%.0s' $(seq 1 230)).txt
echo "long name" >"$SCRATCH/dist/$long_name"
# At the limit exactly: files whose source paths are 259 and 260 characters
# long, and a folder of 258 characters, whose search pattern (\*) is too long.
mkdir "$SCRATCH/dist/edge"
edge_name() { printf "$1%.0s" $(seq 1 $(($2 - ${#SRC} - 6))); }
echo "fits" >"$SCRATCH/dist/edge/$(edge_name f 259)"
echo "one too many" >"$SCRATCH/dist/edge/$(edge_name g 260)"
EDGE_FOLDER=$(edge_name h 258)
mkdir "$SCRATCH/dist/edge/$EDGE_FOLDER"
echo "inside" >"$SCRATCH/dist/edge/$EDGE_FOLDER/i"
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"

DRIVE="$SCRATCH/c"
make_drive "$DRIVE"
LOG=$SCRATCH/work/install.log

# 1: the whole deep distribution.
default_yes_input "$SCRATCH/input"
run_setup "$DRIVE" "$SCRATCH/input" "$SCRATCH/deep.out"
expect_status 255 deep
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
expect_no_output "$SCRATCH/deep.out" "Enter the" deep
[ ! -e "$DRIVE/XEPDB1" ] || fail "deep: something was copied"
[ ! -e "$SCRATCH/bin/sqlplus-ran" ] || fail "deep: SQL*Plus ran"
# The log: header, start, one message, abandonment. The message names a
# real path of the source that the limit does not allow: an entry longer
# than 259 characters, or a folder whose search pattern (\*) would be.
mapfile -t entries < <(tr -d '\r' <"$LOG")
[ ${#entries[@]} -eq 4 ] || fail "deep: install.log has ${#entries[@]} entries, expected 4"
[ "${entries[0]}" = "ORACLE QUARNDEL INSTALLATION LOG" ] || fail "deep: log header"
[ "${entries[1]}" = "Setup started from directory: $SRC" ] || fail "deep: log start"
[ "${entries[3]}" = "Installation abandoned." ] || fail "deep: log abandonment"
message=${entries[2]}
expect_output "$SCRATCH/deep.out" "$message" deep
expect_output "$SCRATCH/deep.out" "Installation abandoned." deep
case "$message" in
    "Error: The path "*" is longer than $LIMIT characters, so the paths of the distribution cannot be measured.")
        path=${message#Error: The path }
        path=${path% is longer than*}
        [ ${#path} -gt $LIMIT ] || fail "deep: refused as too long, but ${#path} characters: $path"
        ;;
    "Error: Could not read the folder "*", so the paths of the distribution cannot be measured.")
        path=${message#Error: Could not read the folder }
        path=${path%, so the paths*}
        [ $((${#path} + 2)) -gt $LIMIT ] || fail "deep: a folder that can be opened was refused: $path"
        ;;
    *) fail "deep: unexpected message: $message" ;;
esac
host_of "$DRIVE" "$path"
[ -e "$HOST_PATH" ] || fail "deep: the message names a path the source does not have: $path"

# 2: everything past the limit taken out of the distribution.
while IFS= read -r -d '' rel; do
    [ -e "$SCRATCH/dist/$rel" ] || continue
    src="$SRC\\${rel//\//\\}"
    if [ -d "$SCRATCH/dist/$rel" ] && [ $((${#src} + 2)) -gt $LIMIT ]; then
        rm -rf "${SCRATCH:?}/dist/$rel"
    elif [ ${#src} -gt $LIMIT ]; then
        rm -f "${SCRATCH:?}/dist/$rel"
    fi
done < <(cd "$SCRATCH/dist" && find . -mindepth 1 -printf '%P\0')
[ -f "$SCRATCH/dist/edge/$(edge_name f 259)" ] || fail "test setup: the 259-character file was taken out"
longest=$(cd "$SCRATCH/dist" && find . -mindepth 1 -printf '%P\n' | awk '{ if (length($0) > m) m = length($0) } END { print m }')
[ $((${#SRC} + 1 + longest)) -eq $LIMIT ] || fail "test setup: the deepest path is not the 259-character file"
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"

# An APP_HOME in a folder with an 80-character name (99 characters) is too
# long for it; C:\ is then taken.
rm -f "$LOG"
long_folder=$(printf 'd%.0s' $(seq 1 80))
mkdir "$DRIVE/$long_folder"
answers_with "$SCRATCH/input" "app installation=C:\\$long_folder"$'\n'"C:\\"
run_setup "$DRIVE" "$SCRATCH/input" "$SCRATCH/fits.out"
expect_status 0 fits
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
expect_output "$SCRATCH/fits.out" "ERROR: The directory path is too long for the files of the distribution: APP_HOME would be 99 characters long, and may be at most $((LIMIT - 1 - longest)). Please enter a shorter path: " fits
expect_output "$SCRATCH/fits.out" 'APP_HOME directory = C:\XEPDB1\QUARNDEL' fits
[ -z "$(ls -A "$DRIVE/$long_folder")" ] || fail "fits: something was copied into the refused folder"
expect_no_log "$LOG" "Path too long" fits
expect_no_log "$LOG" "Error" fits
HOME_DIR="$DRIVE/XEPDB1/QUARNDEL"
check_copied "$SCRATCH/dist" "$HOME_DIR"
(cd "$SCRATCH/dist" && find . -type f -printf '%P\n' | LC_ALL=C sort) >"$SCRATCH/expected"
(cd "$HOME_DIR" && find . -type f -printf '%P\n' | grep -Ev '^(config/set_env\.sql|config/set_env\.bat|install/auto_install\.sql)$' |
    LC_ALL=C sort) >"$SCRATCH/actual"
cmp -s "$SCRATCH/expected" "$SCRATCH/actual" || fail "fits: APP_HOME holds other files than the distribution"

pass "a distribution past the path limit abandoned at start (exit 255); APP_HOME too long for its 259-character file refused at the prompt, the rest installed whole (exit 0)"
