#!/usr/bin/env bash
# zrolife_order.sh "EXPECTED" PROGRAM [ARGUMENTS...]: the order in which the
# loader runs libzroi's load and unload hooks (its initialisers and
# finalisers), as LD_DEBUG=files reports them, is EXPECTED (e.g. "init fini
# init fini" for two rounds of dlopen and dlclose): every load followed by
# exactly one unload, and nothing after the last, not even at process exit.
set -euo pipefail
expected=$1
shift
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
if ! LD_DEBUG=files LD_DEBUG_OUTPUT="$logs/ld" "$@" >"$logs/out" 2>&1; then
    cat "$logs/out"
    echo "zrolife_order: $* failed" >&2
    exit 1
fi
seen=$(cat "$logs"/ld.* | sed -n 's/.*calling \(init\|fini\): .*libzroi\.so.*/\1/p' | paste -sd' ')
if [ "$seen" != "$expected" ]; then
    echo "zrolife_order: $*: the loader ran libzroi's hooks as \"$seen\", not \"$expected\"" >&2
    exit 1
fi
echo "zrolife_order: $seen"
