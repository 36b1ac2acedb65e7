#!/usr/bin/env bash
# A distribution with folders nested past the 260-character path limit, a
# file with a 234-character name, and files and a folder right at the limit.
# Whatever cannot be named within the limit must be reported ("Path too long,
# not copied" or "Could not open source directory") with its full name, never
# copied under a cut-off name; all else is copied; the run ends in bounded
# time with exit status 1.
# Run twice: with the default APP_HOME (the source paths are the longer ones)
# and with an APP_HOME in a long folder (the destination paths are longer).
set -u
source "$(dirname "$0")/lib.bash"

LIMIT=259  # characters in a path, the terminator not counted

start_scratch
make_dist "$SCRATCH/dist"
folder="$SCRATCH/dist/deep"
for level in $(seq -w 1 12); do
    folder="$folder/level${level}_nested_folder_name_x"
    mkdir -p "$folder"
    echo "level $level" >"$folder/f.txt"
    echo "level $level, long name" >"$folder/a_file_with_a_rather_longer_name_$level.txt"
done
long_name=$(printf 'n%.0s' $(seq 1 230)).txt
echo "long name" >"$SCRATCH/dist/$long_name"
SRC=$(windows_path "$SCRATCH/dist")
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
SCRIPTS_RE='^(config/set_env\.sql|config/set_env\.bat|install/auto_install\.sql)$'

# check_run NAME APP_HOME_WINDOWS APP_HOME_HOST
check_run() {
    local name=$1 app=$2 home=$3
    local out=$SCRATCH/$name.out log=$SCRATCH/work/install.log
    local rel src dst
    expect_status 1 "$name"
    check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"

    # The files that can be named within the limit on both sides are copied,
    # byte for byte; no other file is in APP_HOME.
    : >"$SCRATCH/$name.expected"
    local too_long=0
    while IFS= read -r -d '' rel; do
        src="$SRC\\${rel//\//\\}"
        dst="$app\\${rel//\//\\}"
        if [ ${#src} -le $LIMIT ] && [ ${#dst} -le $LIMIT ]; then
            echo "$rel" >>"$SCRATCH/$name.expected"
            cmp -s "$SCRATCH/dist/$rel" "$home/$rel" || fail "$name: $rel fits the limit but was not copied intact"
        else
            too_long=$((too_long + 1))
        fi
    done < <(cd "$SCRATCH/dist" && find . -type f -printf '%P\0')
    [ "$too_long" -gt 0 ] || fail "test setup: no source file reaches the path limit"
    (cd "$home" && find . -type f -printf '%P\n') | grep -Ev "$SCRIPTS_RE" | LC_ALL=C sort >"$SCRATCH/$name.actual"
    LC_ALL=C sort -o "$SCRATCH/$name.expected" "$SCRATCH/$name.expected"
    if ! cmp -s "$SCRATCH/$name.expected" "$SCRATCH/$name.actual"; then
        diff "$SCRATCH/$name.expected" "$SCRATCH/$name.actual" | head -10 >&2
        fail "$name: the files in APP_HOME are not exactly those whose paths fit the limit"
    fi
    # No folder under a cut-off name either.
    while IFS= read -r -d '' rel; do
        [ -d "$SCRATCH/dist/$rel" ] || fail "$name: APP_HOME holds a folder the source does not have: $rel"
    done < <(cd "$home" && find . -mindepth 1 -type d -printf '%P\0')

    # Each refusal names a real source path in full, on the console and in the log.
    # A file or folder is refused when its source or destination path is too
    # long; a folder is not opened when its search pattern (path\*) is.
    local refusals=0 kind path
    while IFS=$'\t' read -r kind path; do
        refusals=$((refusals + 1))
        host_of "$SCRATCH/c" "$path"
        [ -e "$HOST_PATH" ] || fail "$name: a refusal names a path the source does not have: $path"
        [ "${path#"$SRC"}" != "$path" ] || fail "$name: a refusal names a path outside the source: $path"
        dst="$app${path#"$SRC"}"
        if [ "$kind" = entry ]; then
            [ ${#path} -gt $LIMIT ] || [ ${#dst} -gt $LIMIT ] ||
                fail "$name: a path within the limit was refused as too long: $path"
        else
            [ -d "$HOST_PATH" ] && [ $((${#path} + 2)) -gt $LIMIT ] ||
                fail "$name: a source folder that can be opened was refused: $path"
        fi
        grep -qaF -- "$path" "$out" || fail "$name: the console does not show the refusal of $path"
    done < <(tr -d '\r' <"$log" | sed -n -e 's/^Error: Path too long, not copied: \(.*\) -> .*/entry\t\1/p' \
        -e 's/^Error: Could not open source directory /folder\t/p')
    [ "$refusals" -gt 0 ] || fail "$name: nothing was refused for its length"
    expect_output "$out" "Error: Path too long, not copied: $SRC\\$long_name -> $app\\$long_name" "$name"
    expect_log "$log" "Error: Path too long, not copied: $SRC\\$long_name -> $app\\$long_name" "$name"
    check_error_count "$log" APP_HOME
    [ "$ERROR_COUNT" -eq "$refusals" ] || fail "$name: $ERROR_COUNT errors counted, $refusals refusals logged"
    expect_output "$out" "Error: APP_HOME was not completely created: $ERROR_COUNT errors. See install.log for details." "$name"
    expect_output "$out" "DATA_HOME created." "$name"
    local i
    for i in 0 1 2; do expect_output "$out" "${SCRIPT_CREATED[$i]}" "$name"; done
    expect_output "$out" "These stages failed: APP_HOME and DATA_HOME copy. See install.log for details." "$name"
    expect_output "$out" "Installation finished with errors. Press RETURN to exit." "$name"
    TOTAL_REFUSALS=$((${TOTAL_REFUSALS:-0} + refusals))
}

DRIVE="$SCRATCH/c"
make_drive "$DRIVE"

# 1: default APP_HOME, C:\XEPDB1\QUARNDEL.
default_yes_input "$SCRATCH/input"
run_setup "$DRIVE" "$SCRATCH/input" "$SCRATCH/default.out"
check_run default 'C:\XEPDB1\QUARNDEL' "$DRIVE/XEPDB1/QUARNDEL"
[ -f "$DRIVE/XEPDB1/QUARNDEL/edge/$(edge_name f 259)" ] || fail "default: the file with a 259-character path was not copied"
expect_log "$SCRATCH/work/install.log" \
    "Error: Path too long, not copied: $SRC\\edge\\$(edge_name g 260) -> C:\\XEPDB1\\QUARNDEL\\edge\\$(edge_name g 260)" default
expect_log "$SCRATCH/work/install.log" "Error: Could not open source directory $SRC\\edge\\$EDGE_FOLDER" default

# 2: APP_HOME in a folder with an 80-character name.
rm -f "$SCRATCH/work/install.log"
long_folder=$(printf 'd%.0s' $(seq 1 80))
mkdir "$DRIVE/$long_folder"
answers "$SCRATCH/input" "" "" "" "" "C:\\$long_folder" "" "Y" ""
run_setup "$DRIVE" "$SCRATCH/input" "$SCRATCH/long.out"
expect_output "$SCRATCH/long.out" "APP_HOME directory = C:\\$long_folder\\XEPDB1\\QUARNDEL" long
check_run long "C:\\$long_folder\\XEPDB1\\QUARNDEL" "$DRIVE/$long_folder/XEPDB1/QUARNDEL"

pass "paths past the limit refused in full ($TOTAL_REFUSALS refusals in two runs), nothing cut off, exit 1"
