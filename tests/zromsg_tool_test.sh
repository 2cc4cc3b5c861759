#!/usr/bin/env bash
# Tests of the zromsg program, one case per run (ctest runs each as a test).
#
#   zromsg_tool_test.sh ZROMSG SAMPLES roundtrip NAME [DUMP OPTIONS...]
#   zromsg_tool_test.sh ZROMSG SAMPLES broken NAME EDIT REASON OFFSET [DUMP OPTIONS...]
#   zromsg_tool_test.sh ZROMSG SAMPLES readable NAME EDIT EXPECTED [DUMP OPTIONS...]
#   zromsg_tool_test.sh ZROMSG SAMPLES badjson TEXT EXPECTED
#   zromsg_tool_test.sh ZROMSG SAMPLES usage EXPECTED [ZROMSG ARGUMENTS...]
#   zromsg_tool_test.sh ZROMSG SAMPLES version VERSION
#
# roundtrip: NAME.json composes to the checked-in NAME.bin; dump --json of
#   NAME.bin composes back to the same bytes; the text dump reads the whole chain.
# broken: NAME.bin edited by EDIT (truncate:N, or patch:OFFSET:HEX) breaks at
#   OFFSET with REASON, status 1, in the text dump, the JSON and on stderr.
# readable: NAME.bin edited by EDIT (none, truncate:N, patch:OFFSET:HEX) reads to
#   its body, status 0, and the text dump contains EXPECTED.
# badjson: compose of TEXT (or @empty: an empty file; @deep: 100000 nested
#   arrays; @latin1: a text that is not UTF-8) fails with status 2 and EXPECTED on stderr, and writes nothing.
# usage: zromsg ARGUMENTS... fails with status 2 and EXPECTED on stderr (one
#   line of it for convert).
# version: zromsg --version names VERSION for the tool and for the library.
# foreign: NAME.bin converted to FORM (ENCODING:CCSID) is the checked-in
#   foreign/NAME.ENCODING-CCSID.bin and converts back to NAME.bin; dump of the
#   foreign form shows the same items, offsets and field values as dump of
#   NAME.bin, and its dump --json composes back to the foreign bytes.
# unconvertible: NAME.bin edited by EDIT cannot be converted to FORM: status
#   1, EXPECTED on stderr, no output written.
set -u

tool=$1 samples=$2 case=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    echo "---- stdout" >&2
    cat "$work/out" >&2 2>/dev/null
    echo "---- stderr" >&2
    cat "$work/err" >&2 2>/dev/null
    exit 1
}

# Runs the tool; its status in $status, its output in $work/out and $work/err.
run() {
    "$tool" "$@" >"$work/out" 2>"$work/err"
    status=$?
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "zromsg exited with $status, expected $1"
}

expect_in() { # FILE TEXT
    grep -qF -- "$2" "$work/$1" || fail "$1 does not contain: $2"
}

expect_not_in() { # FILE TEXT
    ! grep -qF -- "$2" "$work/$1" || fail "$1 contains: $2"
}

# Copies NAME.bin to $work/edited.bin and applies EDIT to the copy.
edit() { # NAME EDIT
    cp "$samples/$1.bin" "$work/edited.bin"
    case $2 in
    none) return ;;
    truncate:*) head -c "${2#truncate:}" "$samples/$1.bin" >"$work/edited.bin" ;;
    patch:*)
        local edit=${2#patch:}
        local at=${edit%%:*} hex=${edit#*:}
        printf "$(printf '%s' "$hex" | sed 's/../\\x&/g')" |
            dd of="$work/edited.bin" bs=1 seek="$at" conv=notrunc status=none
        ;;
    *) fail "unknown edit $2" ;;
    esac
    cmp -s "$samples/$1.bin" "$work/edited.bin" && fail "the edit changed nothing"
}

case $case in
roundtrip)
    name=$1
    shift
    run compose "$samples/$name.json" -o "$work/composed.bin"
    expect_status 0
    cmp "$samples/$name.bin" "$work/composed.bin" ||
        fail "$name.bin is not what compose makes of $name.json (regenerate it)"

    run dump "$@" --json "$samples/$name.bin"
    expect_status 0
    cp "$work/out" "$work/dump.json"
    expect_not_in out '"broken"'
    expect_not_in out 'does not give these bytes back'
    run compose "$work/dump.json" -o "$work/again.bin"
    expect_status 0
    cmp "$samples/$name.bin" "$work/again.bin" ||
        fail "compose of dump --json of $name.bin gives other bytes"

    run dump "$@" "$samples/$name.bin"
    expect_status 0
    expect_in out "offset 0, "
    expect_not_in out "the chain breaks"
    [ ! -s "$work/err" ] || fail "dump wrote to stderr"
    ;;

broken)
    name=$1 edit=$2 reason=$3 offset=$4
    shift 4
    edit "$name" "$edit"

    run dump "$@" "$work/edited.bin"
    expect_status 1
    expect_in out "offset $offset: the chain breaks here"
    expect_in out "reason      $reason ("
    expect_in out "diagnostic  "
    expect_in err "the chain breaks at offset $offset: $reason"

    run dump "$@" --json "$work/edited.bin"
    expect_status 1
    expect_in out "\"reason\": \"$reason\""
    expect_in out "\"offset\": $offset,"
    expect_in out '"texts": ['
    ;;

readable)
    name=$1 edit=$2 expected=$3
    shift 3
    edit "$name" "$edit"
    run dump "$@" "$work/edited.bin"
    expect_status 0
    expect_in out "$expected"
    ;;

badjson)
    text=$1 expected=$2
    case $text in
    @deep)
        {
            printf '{"body": {"class": "ZroStr", "text": "a"}, "headers": '
            head -c 100000 /dev/zero | tr '\0' '['
            head -c 100000 /dev/zero | tr '\0' ']'
            printf '}'
        } >"$work/in.json"
        ;;
    @empty) : >"$work/in.json" ;;
    @latin1) printf '{"body": {"class": "ZroStr", "text": "caf\xe9"}}' >"$work/in.json" ;;
    *) printf '%s' "$text" >"$work/in.json" ;;
    esac
    run compose "$work/in.json" -o "$work/made.bin"
    expect_status 2
    expect_in err "$expected"
    [ ! -e "$work/made.bin" ] || fail "compose wrote output for a bad description"
    ;;

usage)
    expected=$1
    shift
    run "$@"
    expect_status 2
    expect_in err "$expected"
    if [ "${1-}" = convert ]; then
        [ "$(wc -l <"$work/err")" -eq 1 ] || fail "convert's usage error is not one line"
    fi
    ;;

version)
    run --version
    expect_status 0
    [ "$(cat "$work/out")" = "zromsg $1 (libzroi $1)" ] || fail "--version does not say $1"
    ;;

foreign)
    name=$1 form=$2
    shift 2
    foreign="$samples/foreign/$name.${form/:/-}.bin"
    run convert "$@" --to "$form" "$samples/$name.bin" -o "$work/to.bin"
    expect_status 0
    [ ! -s "$work/err" ] || expect_in err "warning: ZroConverter::convert (warning): unknown format"
    cmp "$foreign" "$work/to.bin" || fail "$foreign is not what convert makes (regenerate it)"
    run convert "$@" --from "$form" --to 546:0 "$foreign" -o "$work/back.bin"
    expect_status 0
    cmp "$samples/$name.bin" "$work/back.bin" || fail "$foreign does not convert back to $name.bin"

    run dump "$@" --json "$samples/$name.bin"
    expect_status 0
    jq -S 'del(.notes)' "$work/out" >"$work/native.json"
    run dump "$@" --encoding "${form%:*}" --ccsid "${form#*:}" --json "$foreign"
    expect_status 0
    expect_in out "\"encoding\": ${form%:*}"
    expect_not_in out 'does not give these bytes back'
    cp "$work/out" "$work/foreign.json"
    jq -S 'del(.notes, .foreign, .encoding, .ccsid, .headers[].encoding, .headers[].ccsid,
              .body.encoding, .body.ccsid)' "$work/foreign.json" >"$work/seen.json"
    diff "$work/native.json" "$work/seen.json" >&2 ||
        fail "dump of $foreign shows other items or values than dump of $name.bin"
    run compose "$work/foreign.json" -o "$work/again.bin"
    expect_status 0
    cmp "$foreign" "$work/again.bin" || fail "compose of dump --json of $foreign gives other bytes"

    run dump "$@" --encoding "${form%:*}" --ccsid "${form#*:}" "$foreign"
    expect_status 0
    expect_in out "foreign message: encoding ${form%:*} and character set ${form#*:} as given"
    expect_in out "[encoding ${form%:*}, character set ${form#*:}]"
    ;;

unconvertible)
    name=$1 edit=$2 form=$3 expected=$4
    shift 4
    edit "$name" "$edit"
    run convert "$@" --to "$form" "$work/edited.bin" -o "$work/made.bin"
    expect_status 1
    expect_in err "$expected"
    [ ! -e "$work/made.bin" ] || fail "convert wrote output for data it cannot convert"
    ;;

*)
    echo "unknown case $case" >&2
    exit 2
    ;;
esac
exit 0
