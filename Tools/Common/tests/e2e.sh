# What the tools' end-to-end tests share; sourced by each test script.
fail() { echo "FAIL: $*" >&2; exit 1; }
# expect STATUS COMMAND...: runs COMMAND with stdout in ./out and stderr in ./err.
expect() {
    local want=$1 got=0
    shift
    "$@" >out 2>err || got=$?
    # Windows programs under Wine (ZR_E2E_WINE) end text lines with CR LF.
    [[ -z ${ZR_E2E_WINE:-} ]] || sed -i 's/\r$//' out err
    [[ $got == "$want" ]] || fail "'$*' exited $got, not $want: $(cat err)"
}
# has REGEX [FILE]: some line of FILE (default ./out) matches.
has() { grep -qE -- "$1" "${2:-out}" || fail "no line matching '$1' in ${2:-out}: $(cat "${2:-out}")"; }
