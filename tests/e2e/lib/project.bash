# Shared by the end-to-end tests: a project file written byte by byte, so
# that a test does not depend on the program's own writer. The caller
# defines fail MESSAGE (never returns).
# shellcheck shell=bash

le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }

# write_project FILE COLOUR MODE SPEED SECONDS TIMES NAME...: a 235-byte
# project file (picture change every 2 s in Float mode), the names in slots
# 1, 2, ...
write_project() {
    local file=$1 colour=$2 mode=$3 speed=$4 seconds=$5 times=$6 name fmt n=0
    shift 6
    fmt="$(le32 "$colour")\\x$(printf %02x "$mode")$(le32 "$speed")$(le32 2)$(le32 "$seconds")$(le32 "$times")$(le32 $#)"
    for name in "$@"; do
        fmt+="\\x$(printf %02x ${#name})$name$(printf '\\x00%.0s' $(seq $((12 - ${#name}))))$(le32 0)$(le32 0)"
        n=$((n + 1))
    done
    for ((; n < 10; n++)); do fmt+=$(printf '\\x00%.0s' $(seq 21)); done
    # shellcheck disable=SC2059
    printf "$fmt" >"$file"
    [ "$(stat -c %s "$file")" = 235 ] || fail "the project file $file is $(stat -c %s "$file") bytes, not 235"
}
