#!/usr/bin/env bash
# Tests of the zromsg program, every case of one GROUP (ctest runs each group):
#   zromsg_tool_test.sh ZROMSG SAMPLES GROUP VERSION
# roundtrip and foreign take every sample (NAME.json, foreign/NAME.FORM.bin);
# version checks --version; the other groups take the rows of the table at the
# end, fields separated by |, as each function below says. An EDIT of a sample
# is none, truncate:N or patch:OFFSET:HEX.
set -u
tool=$1 samples=$2 group=$3 version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    printf 'FAIL %s: %s\n---- stdout\n%s\n---- stderr\n%s\n' "$label" "$*" \
        "$(cat "$work/out" 2>/dev/null)" "$(cat "$work/err" 2>/dev/null)" >&2
    exit 1
}
run() { # STATUS ARGUMENTS: the tool exits with STATUS; its output in $work/out and $work/err
    local expected=$1
    shift
    "$tool" "$@" </dev/null >"$work/out" 2>"$work/err"
    local status=$?
    [ "$status" -eq "$expected" ] || fail "zromsg exited with $status, expected $expected"
}
# FILE TEXT...: $work/FILE contains every TEXT, or none of them.
expect_in() { for t in "${@:2}"; do grep -qF -- "$t" "$work/$1" || fail "$1 lacks: $t"; done; }
expect_not_in() { for t in "${@:2}"; do ! grep -qF -- "$t" "$work/$1" || fail "$1 has: $t"; done; }

edit() { # NAME EDIT: $work/edited.bin is NAME.bin with EDIT applied
    cp "$samples/$1.bin" "$work/edited.bin"
    case $2 in
    none) return ;;
    truncate:*) head -c "${2#truncate:}" "$samples/$1.bin" >"$work/edited.bin" ;;
    patch:*)
        local at=${2#patch:} hex=${2##*:}
        printf "$(printf '%s' "$hex" | sed 's/../\\x&/g')" |
            dd of="$work/edited.bin" bs=1 seek="${at%%:*}" conv=notrunc status=none
        ;;
    *) fail "unknown edit $2" ;;
    esac
    cmp -s "$samples/$1.bin" "$work/edited.bin" && fail "the edit changed nothing"
}

# NAME.json composes to NAME.bin, and dump --json of it back; the text dump reads it all.
roundtrip() { # NAME [DUMP OPTIONS]
    local name=$1
    shift
    run 0 compose "$samples/$name.json" -o "$work/composed.bin"
    cmp "$samples/$name.bin" "$work/composed.bin" || fail "$name.bin is not what compose makes"
    run 0 dump "$@" --json "$samples/$name.bin"
    cp "$work/out" "$work/dump.json"
    expect_not_in out '"broken"' 'does not give these bytes back'
    run 0 compose "$work/dump.json" -o "$work/again.bin"
    cmp "$samples/$name.bin" "$work/again.bin" || fail "compose of dump --json gives other bytes"
    run 0 dump "$@" "$samples/$name.bin"
    expect_in out "offset 0, "
    expect_not_in out "the chain breaks"
    [ ! -s "$work/err" ] || fail "dump wrote to stderr"
}

# The edited sample breaks at OFFSET with REASON, in the text dump, the JSON and on stderr.
broken() { # NAME|EDIT|REASON|OFFSET[|DUMP OPTIONS]
    edit "$1" "$2"
    run 1 dump ${5-} "$work/edited.bin"
    expect_in out "offset $4: the chain breaks here" "reason      $3 (" "diagnostic  "
    expect_in err "the chain breaks at offset $4: $3"
    run 1 dump ${5-} --json "$work/edited.bin"
    expect_in out "\"reason\": \"$3\"" "\"offset\": $4," '"texts": ['
}

# The edited sample reads to its body, and the text dump says EXPECTED.
readable() { # NAME|EDIT|EXPECTED
    edit "$1" "$2"
    run 0 dump "$work/edited.bin"
    expect_in out "$3"
}

# compose of TEXT (@empty, @deep: 100000 nested arrays, @latin1: not UTF-8) fails.
badjson() { # TEXT|EXPECTED
    case $1 in
    @deep)
        printf '{"body": {"class": "ZroStr", "text": "a"}, "headers": %s%s}' \
            "$(head -c 100000 /dev/zero | tr '\0' '[')" \
            "$(head -c 100000 /dev/zero | tr '\0' ']')" >"$work/in.json"
        ;;
    @empty) : >"$work/in.json" ;;
    @latin1) printf '{"body": {"class": "ZroStr", "text": "caf\xe9"}}' >"$work/in.json" ;;
    *) printf '%s' "$1" >"$work/in.json" ;;
    esac
    rm -f "$work/made.bin"
    run 2 compose "$work/in.json" -o "$work/made.bin"
    expect_in err "$2"
    [ ! -e "$work/made.bin" ] || fail "compose wrote output for a bad description"
}

# A usage error: status 2 and EXPECTED, on one line for convert.
usage() { # EXPECTED|ARGUMENTS
    run 2 ${2-}
    expect_in err "$1"
    case ${2-} in convert*) [ "$(wc -l <"$work/err")" -eq 1 ] || fail "not one line" ;; esac
}

# NAME.bin converted to FORM is the checked-in foreign form and converts back; dump
# shows the same items and values in it, and its dump --json composes back to it.
foreign() { # NAME ENCODING:CCSID [DUMP OPTIONS]
    local name=$1 form=$2 encoding=${2%:*} ccsid=${2#*:}
    shift 2
    local foreign="$samples/foreign/$name.$encoding-$ccsid.bin"
    run 0 convert "$@" --to "$form" "$samples/$name.bin" -o "$work/to.bin"
    [ ! -s "$work/err" ] || expect_in err "warning: ZroConverter::convert (warning): unknown format"
    cmp "$foreign" "$work/to.bin" || fail "$foreign is not what convert makes (regenerate it)"
    run 0 convert "$@" --from "$form" --to 546:0 "$foreign" -o "$work/back.bin"
    cmp "$samples/$name.bin" "$work/back.bin" || fail "$foreign does not convert back"
    run 0 dump "$@" --json "$samples/$name.bin"
    jq -S 'del(.notes)' "$work/out" >"$work/native.json"
    run 0 dump "$@" --encoding "$encoding" --ccsid "$ccsid" --json "$foreign"
    expect_in out "\"encoding\": $encoding"
    expect_not_in out 'does not give these bytes back'
    cp "$work/out" "$work/foreign.json"
    jq -S 'del(.notes, .foreign, .encoding, .ccsid, .headers[].encoding, .headers[].ccsid,
              .body.encoding, .body.ccsid)' "$work/foreign.json" >"$work/seen.json"
    diff "$work/native.json" "$work/seen.json" >&2 || fail "dump shows other items or values"
    run 0 compose "$work/foreign.json" -o "$work/again.bin"
    cmp "$foreign" "$work/again.bin" || fail "compose of dump --json gives other bytes"
    run 0 dump "$@" --encoding "$encoding" --ccsid "$ccsid" "$foreign"
    expect_in out "foreign message: encoding $encoding and character set $ccsid as given" \
        "[encoding $encoding, character set $ccsid]"
}

unconvertible() { # NAME|EDIT|FORM|EXPECTED[|CONVERT OPTIONS]: convert refuses it
    edit "$1" "$2"
    rm -f "$work/made.bin"
    run 1 convert ${5-} --to "$3" "$work/edited.bin" -o "$work/made.bin"
    expect_in err "$4"
    [ ! -e "$work/made.bin" ] || fail "convert wrote output for data it cannot convert"
}

version() {
    run 0 --version
    [ "$(cat "$work/out")" = "zromsg $version (libzroi $version)" ] || fail "not $version"
}

# The string and binary bodies carry no structure id: dump is told the format.
format_of() { [ "$1" = string ] && echo "--format ZroStr"; }

cases() {
    case $group in
    roundtrip)
        for json in "$samples"/*.json; do
            name=$(basename "$json" .json)
            echo "roundtrip|$name $(format_of "$name")"
        done
        ;;
    foreign)
        for bin in "$samples"/foreign/*.bin; do
            file=$(basename "$bin" .bin) && name=${file%.*} && form=${file##*.}
            echo "foreign|$name ${form/-/:} $(format_of "$name")"
        done
        ;;
    version) echo "version|" ;;
    *) sed -n '/^# ---- cases$/,$p' "$0" | grep "^$group|" ;;
    esac
}

passed=0 failed=0
while IFS='|' read -r kind a b c d e; do
    label="$kind|$a|$b|$c|$d|$e"
    if [ "$kind" = roundtrip ] || [ "$kind" = foreign ]; then
        ("$kind" $a) # NAME and options, as words
    else
        ("$kind" "$a" "$b" "$c" "$d" "$e")
    fi && passed=$((passed + 1)) || failed=$((failed + 1))
done < <(cases)
echo "zromsg $group: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
exit

# ---- cases
broken|dead-letter-string|truncate:100|ZRRC_INSUFFICIENT_DATA|0
broken|dead-letter-string|patch:116:5a524b4f54412020|ZRRC_STRUC_ID_ERROR|172
broken|chain|patch:377:58|ZRRC_STRUC_ID_ERROR|377
broken|chain|patch:108:11010000|ZRRC_ENCODING_ERROR|172
broken|chain|patch:180:6b000000|ZRRC_STRUC_LENGTH_ERROR|172
broken|chain|truncate:320|ZRRC_INSUFFICIENT_DATA|293
broken|chain|truncate:400|ZRRC_INSUFFICIENT_DATA|377
broken|reference-string|truncate:100|ZRRC_INSUFFICIENT_DATA|0
broken|reference-string|patch:8:6b000000|ZRRC_STRUC_LENGTH_ERROR|0
broken|reference-string|patch:8:00100000|ZRRC_BUFFER_NOT_RESIZABLE|0
broken|reference-string|patch:72:00000100|ZRRC_INSUFFICIENT_DATA|0
broken|reference-string|patch:20:5a524b4f544120|ZRRC_STRUC_ID_ERROR|169
broken|reference-kota-string|patch:12:11010000|ZRRC_ENCODING_ERROR|122
broken|kota-string|truncate:170|ZRRC_INSUFFICIENT_DATA|0
broken|trigger|truncate:600|ZRRC_INSUFFICIENT_DATA|0
broken|string|patch:0:00|ZRRC_STRUC_ID_ERROR|0|--format ZroKih
readable|chain|none|offset 377, 120 bytes: ZroWih, work information header
readable|dead-letter-string|patch:21:20|does not give these bytes back: it gives 222 bytes that first differ at offset 21, in the ZroDlh at offset 0
readable|reference-custom|none|format "ZRCUSTOM" is not one of the library's items
readable|trigger|patch:684:78|1 bytes follow the ZroTrg at offset 684
readable|kota-string|none|bridgeReturnCode              0   (read-only)
readable|foreign/chain.273-500|none|in EBCDIC (read as character set 500), version 1 in normal byte order (read as encoding 273)
readable|foreign/kota-string.273-819|none|in ASCII (read as character set 819), version 2 in normal byte order
badjson|{"body": |is not valid JSON
badjson|@empty|is not valid JSON
badjson|@latin1|is not valid JSON
badjson|[1, 2]|must be a JSON object
badjson|{}|needs a "body"
badjson|{"body": {"class": "ZroStr", "text": "a"}, "extra": 1}|unknown key "extra"
badjson|{"body": {"class": "ZroXyz"}}|is no body class
badjson|{"body": {"class": "ZroRfh"}}|is no body class
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroStr"}]}|is no header class
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroKih", "fields": {"bridgeReturnCode": 5}}]}|ZroKih field "bridgeReturnCode" has no setter: compose cannot make it 5
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroDlh", "fields": {"headerFlags": 1}}]}|ZroDlh has no field "headerFlags"
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroWih", "fields": {"messageToken": "00"}}]}|ZroWih field "messageToken": the class refuses 1 bytes: 2/6111 ZRRC_BINARY_DATA_LENGTH_ERROR
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroRfh", "fields": {"colour": 5}}]}|ZroRfh has no field "colour"
badjson|{"body": {"class": "ZroTrg", "fields": {"queueName": "0123456789012345678901234567890123456789012345678901"}}}|ZroTrg field "queueName" cannot hold
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroRfh", "fields": {"instanceId": "0011"}}]}|the class refuses 2 bytes: 2/6111 ZRRC_BINARY_DATA_LENGTH_ERROR
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroKih", "fields": {"version": 3}}]}|the class refuses 3: 2/6128 ZRRC_WRONG_VERSION
badjson|{"body": {"class": "ZroBin", "hex": "abc"}}|odd number of hex digits
badjson|{"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroRfh", "fields": {"headerFlags": 4294967296}}]}|must be an integer
badjson|{"body": {"class": "ZroStr", "text": 5}}|must be a string
badjson|{"body": {"class": "ZroStr", "text": "a\u0000b"}}|holds a NUL character
badjson|{"body": {"class": "ZroStr", "text": "ab", "length": 3}}|described with length 3, but compose makes it 2
badjson|{"headers": [], "broken": {"offset": 0, "reason": "ZRRC_STRUC_ID_ERROR"}}|chain that breaks at offset 0
badjson|@deep|nested deeper than 32 levels
unconvertible|string|patch:0:a4|273:1140|ZroConverter::convert (error): character not in the target character set|--format ZroStr
unconvertible|chain|patch:0:00|273:500|ZroConverter::convert (error): wrong structure id|--format ZroDlh
usage|convert needs --to|convert x -o y
usage|--to needs ENCODING:CCSID|convert --to 273 x -o y
usage|character set 4711 is not supported|convert --to 273:4711 x -o y
usage|lowest hexadecimal digit|convert --to 0:500 x -o y
usage|--ccsid needs a number|dump --ccsid x y
usage|which command|
usage|unknown command frob|frob
usage|dump needs a FILE|dump
usage|dump reads one FILE|dump a b
usage|unknown option --frob|dump --frob x
usage|at most 8 characters|dump --format ZRTOOLONG x
usage|--format needs a NAME|dump --format
usage|compose needs -o OUT|compose x.json
usage|cannot read /nonexistent/m.bin|dump /nonexistent/m.bin
