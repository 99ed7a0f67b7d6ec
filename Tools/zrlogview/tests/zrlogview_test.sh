#!/usr/bin/env bash
# End-to-end test of zrlogview: records sent as the library's logging sends
# them, shown line by line with the time column masked; filters; damaged and
# oversized messages; interruption; a slot served twice; usage errors.
# Usage: zrlogview_test.sh ZRLOGVIEW SENDER SCRATCH_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../Common/tests/e2e.sh"
zrlogview=$1 send=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
# A slot of this run alone, so that runs in parallel do not meet.
slot=zrlogview-e2e-$$
# Local time east of UTC by an odd offset: a time shown in UTC would differ.
export TZ=ZRT-5:30
tab=$'\t'

# A viewer still running when the test stops is ended (timeout passes the
# signal on).
viewer=
trap '[[ -z $viewer ]] || kill "$viewer" 2>/dev/null || true' EXIT
# start [OPTION]...: the viewer in the background, bounded in time, with
# stdout in ./view.out and stderr in ./view.err (expect uses out and err).
start() {
    timeout 30 "$zrlogview" --slot "$slot" "$@" >view.out 2>view.err &
    viewer=$!
}
# finish STATUS: waits for the viewer, which must end with STATUS.
finish() {
    local got=0
    wait "$viewer" || got=$?
    text_lines view.out view.err
    [[ $got == "$1" ]] || fail "the viewer exited $got, not $1: $(cat view.err)"
}
# masked FILE: FILE with the time each line starts with replaced by TIME.
masked() {
    sed -E -e "s/^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{3}$tab/TIME$tab/" \
        -e 's/^zrlogview: [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{3}: /zrlogview: TIME: /' "$1"
}
# same FILE: FILE, masked, is exactly the text on stdin.
same() { diff -u - <(masked "$1") >diff || fail "unexpected $1: $(cat diff)"; }

# Every class with its name, then classes without one; empty texts; control
# bytes escaped, high bytes and the backslash as they are.
before=$(date +%H:%M:%S)
start --count 12
"$send" "$slot" 'BOX|Game|4711|0|1000|Menu|Menu.cpp|10|zero' \
    'BOX|Game|4711|1|1001|Mem|Heap.cpp|11|one' 'BOX|Game|4711|2|1002|c|l|12|two' \
    'BOX|Game|4711|3|1003|c|l|13|three' 'BOX|Game|4711|4|1004|c|l|14|four' \
    'BOX|Game|4711|5|1005|c|l|15|five' 'BOX|Game|4711|6|1006|c|l|16|six' \
    'BOX|Game|4711|7|1007|c|l|17|seven' 'BOX|Game|4711|8|1008|c|l|18|eight' \
    'BOX|Game|4294967295|9|-5|c|l|-2147483648|nine' 'BOX|Game|1|-1|0|c|l|0|minus one' \
    'pc\x1B[2J|Net\x7F|2|5|0|||0|a\x09b\x0Ac\\x41 \xC3\xA9 \xFF'
finish 0
after=$(date +%H:%M:%S)
[[ ! -s view.err ]] || fail "reports on sound records: $(cat view.err)"
same view.out <<EOF
TIME${tab}BOX${tab}Game${tab}4711${tab}0 Game Message${tab}Menu${tab}Menu.cpp${tab}10${tab}zero
TIME${tab}BOX${tab}Game${tab}4711${tab}1 Dump${tab}Mem${tab}Heap.cpp${tab}11${tab}one
TIME${tab}BOX${tab}Game${tab}4711${tab}2 Info${tab}c${tab}l${tab}12${tab}two
TIME${tab}BOX${tab}Game${tab}4711${tab}3 Message${tab}c${tab}l${tab}13${tab}three
TIME${tab}BOX${tab}Game${tab}4711${tab}4 Note${tab}c${tab}l${tab}14${tab}four
TIME${tab}BOX${tab}Game${tab}4711${tab}5 Warning${tab}c${tab}l${tab}15${tab}five
TIME${tab}BOX${tab}Game${tab}4711${tab}6 Error${tab}c${tab}l${tab}16${tab}six
TIME${tab}BOX${tab}Game${tab}4711${tab}7 Critical Error${tab}c${tab}l${tab}17${tab}seven
TIME${tab}BOX${tab}Game${tab}4711${tab}8 Catastrophic Error${tab}c${tab}l${tab}18${tab}eight
TIME${tab}BOX${tab}Game${tab}4294967295${tab}9${tab}c${tab}l${tab}-2147483648${tab}nine
TIME${tab}BOX${tab}Game${tab}1${tab}-1${tab}c${tab}l${tab}0${tab}minus one
TIME${tab}pc\x1B[2J${tab}Net\x7F${tab}2${tab}5 Warning${tab}${tab}${tab}0${tab}a\x09b\x0Ac\x41 $(printf '\xC3\xA9 \xFF')
EOF
# The time is the local one, when the entry arrived (unless midnight passed).
time=$(head -c 8 view.out)
[[ $after < $before || ($before < $time || $before == "$time") && ($time < $after || $time == "$after") ]] ||
    fail "time $time is not between $before and $after"

# --ascii: high bytes and the backslash escaped too; --ticks: the sender's.
start --count 1 --ascii --ticks
"$send" "$slot" 'C:\\|Game|2|5|-2147483648|Load|D:\\Data\\a.cpp|3|\xC3\xA9\\x41\x00'
finish 0
same view.out <<EOF
TIME${tab}-2147483648${tab}C:\\\\${tab}Game${tab}2${tab}5 Warning${tab}Load${tab}D:\\\\Data\\\\a.cpp${tab}3${tab}\xC3\xA9\\\\x41\x00
EOF

# Filters: the class at least N, the log one of those named in any case;
# entries filtered out do not count.
start --count 3 --class-min 5 --log game --log AI
"$send" "$slot" 'PC|Game|1|4|0|c|l|0|note' 'PC|Sound|1|6|0|c|l|0|sound' \
    'PC|Gamer|1|6|0|c|l|0|gamer' 'PC|GAME|1|5|0|c|l|0|warning' 'PC|ai|1|9|0|c|l|0|nine' \
    'PC|Game|1|-1|0|c|l|0|minus' 'PC|gAmE|1|8|0|c|l|0|last'
finish 0
[[ $(cut -f 3,5,9 view.out) == "GAME${tab}5 Warning${tab}warning"$'\n'"ai${tab}9${tab}nine"$'\n'"gAmE${tab}8 Catastrophic Error${tab}last" ]] ||
    fail "filters: $(cat view.out)"
start --count 1 --class-min -1
"$send" "$slot" 'PC|Game|1|-2|0|c|l|0|minus two' 'PC|Game|1|-1|0|c|l|0|minus one'
finish 0
[[ $(cut -f 9 view.out) == "minus one" ]] || fail "negative minimum: $(cat view.out)"

# Damaged records are reported with the field and offset and viewing goes on;
# a message over 400 bytes is skipped, and what follows it is shown. An empty
# message is sent only where the slot hands it over: Wine's mail slots never
# do, and hold back every message behind it.
sound='BOX|Game|7|6|42|ctx|loc|9|msg'
empty=("cut=0:$sound")
empty_report='zrlogview: TIME: damaged record of 0 bytes: computer name at offset 0: 4 bytes needed, 0 left'
if [[ -n ${ZR_E2E_WINE:-} ]]; then
    echo "skipped under Wine: an empty message (Wine's mail slots keep it, and all after it, from the reader)"
    empty=() empty_report=
fi
damaged=("${empty[@]}" "cut=6:$sound" "cut=17:$sound" "cut=20:$sound" "more=00:$sound"
    'BOX|@-1:|7|6|42|ctx|loc|9|msg' 'BOX|Game|7|6|42|ctx|@400:loc|9|msg'
    "BOX|Game|7|6|42|ctx|loc|9|$(printf 'm%.0s' {1..256})" 'BOX|Game|7|6|4 2|ctx|loc|9|msg'
    big=1000 'BOX|Game|7|6|42|ctx|loc|9|after the big one')
start --count ${#damaged[@]}
"$send" "$slot" "${damaged[@]}"
finish 0
same view.err <<EOF
${empty_report:+$empty_report
}zrlogview: TIME: damaged record of 6 bytes: computer name at offset 0: length 3, 2 bytes left
zrlogview: TIME: damaged record of 17 bytes: process id at offset 15: 4 bytes needed, 2 left
zrlogview: TIME: damaged record of 20 bytes: class at offset 19: 4 bytes needed, 1 left
zrlogview: TIME: damaged record of 55 bytes: record at offset 54: 1 byte left over after the message
zrlogview: TIME: damaged record of 50 bytes: log name at offset 7: negative length -1
zrlogview: TIME: damaged record of 54 bytes: location at offset 36: length 400, 14 bytes left
zrlogview: TIME: damaged record of 307 bytes: message at offset 47: length 256 is over 255
zrlogview: TIME: damaged record of 55 bytes: tick count at offset 23: no decimal number
zrlogview: TIME: a message of 1000 bytes skipped (a record has at most 400)
EOF
[[ $(cut -f 9 view.out) == "after the big one" ]] || fail "after the damage: $(cat view.out)"

# Without --count the viewer runs until interrupted: Ctrl+C (INT) ends it well
# on every OS, and so does TERM on POSIX. Windows has no TERM for one process
# to send another, and Wine ends its process on one.
signals=(INT TERM)
if [[ -n ${ZR_E2E_WINE:-} ]]; then
    echo "skipped under Wine: TERM (no such signal on Windows)"
    signals=(INT)
fi
for signal in "${signals[@]}"; do
    start
    "$send" "$slot" "PC|Game|1|2|0|c|l|0|before $signal"
    for ((poll = 0; poll < 1000; poll++)); do
        [[ -s view.out ]] && break
        sleep 0.01
    done
    kill -s "$signal" "$viewer"
    finish 0
    [[ $(cut -f 9 view.out) == "before $signal" ]] || fail "$signal: $(cat view.out)"
done

# A slot that a viewer serves cannot be served again, by any spelling.
start --count 2
"$send" "$slot" 'PC|Game|1|2|0|c|l|0|first'   # returns once the slot is served
expect 1 timeout 30 "$zrlogview" --slot "$slot"
[[ $(cat err) == "zrlogview: \\\\.\\mailslot\\$slot: Mailslot could not be opened. (5000): already exists" ]] ||
    fail "served twice: $(cat err)"
expect 1 timeout 30 "$zrlogview" --slot "//*/MailSlot/${slot^^}"
has '^zrlogview: //\*/MailSlot/ZRLOGVIEW-E2E-[0-9]+: Mailslot could not be opened\. \(5000\): already exists$' err
"$send" "$slot" 'PC|Game|1|2|0|c|l|0|second'
finish 0
[[ $(cut -f 9 view.out) == $'first\nsecond' ]] || fail "the first viewer: $(cat view.out)"

# A line that cannot be written ends the viewer.
if [[ -w /dev/full ]]; then
    timeout 30 "$zrlogview" --slot "$slot" >/dev/full 2>view.err &
    viewer=$!
    "$send" "$slot" 'PC|Game|1|2|0|c|l|0|lost'
    finish 1
    [[ $(cat view.err) == "zrlogview: stdout: write error" ]] || fail "full disk: $(cat view.err)"
fi

# Help, version and usage errors.
expect 0 "$zrlogview" --help
has '^  --class-min N +only entries of class N or higher$'
has '^Exit status: 0 success, 1 failure, 2 usage error\.$'
expect 0 "$zrlogview" --version
has '^zrlogview [0-9]+\.[0-9]+\.[0-9]+$'
usage() {
    local problem=$1
    shift
    expect 2 "$zrlogview" "$@"
    [[ $(cat err) == "zrlogview: $problem"$'\n'"Try 'zrlogview --help'." ]] || fail "'$*': $(cat err)"
}
usage "unexpected operand 'debug'" debug
usage "unknown option '--level'" --level 3
usage '--count: Value 0 not in range 1 to 4294967295' --count 0
usage 'Could not convert: --class-min = x' --class-min x
echo "zrlogview: all passed"
