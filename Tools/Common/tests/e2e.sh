# What the tools' end-to-end tests share; sourced by each test script.
fail() { echo "FAIL: $*" >&2; exit 1; }
# text_lines FILE...: a program's text output with LF line ends; Windows
# programs under Wine (ZR_E2E_WINE) end text lines with CR LF.
text_lines() { [[ -z ${ZR_E2E_WINE:-} ]] || sed -i 's/\r$//' "$@"; }
# expect STATUS COMMAND...: runs COMMAND with stdout in ./out and stderr in ./err.
expect() {
    local want=$1 got=0
    shift
    "$@" >out 2>err || got=$?
    text_lines out err
    [[ $got == "$want" ]] || fail "'$*' exited $got, not $want: $(cat err)"
}
# has REGEX [FILE]: some line of FILE (default ./out) matches.
has() { grep -qE -- "$1" "${2:-out}" || fail "no line matching '$1' in ${2:-out}: $(cat "${2:-out}")"; }
# native PATH: an absolute PATH as the programs under test spell it; under
# Wine a Windows name on drive Z:, which Wine maps to the root.
native() {
    if [[ -n ${ZR_E2E_WINE:-} ]]; then
        local path=${1//\//\\}
        echo "Z:$path"
    else
        echo "$1"
    fi
}
# literal TEXT: an extended regular expression matching exactly TEXT.
literal() { sed -E 's/[][\\.*^$?+(){}|]/\\&/g' <<<"$1"; }
