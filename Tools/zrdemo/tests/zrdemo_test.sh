#!/usr/bin/env bash
# End-to-end test of zrdemo: one run in a scratch folder, its archive read back
# by zrarc, its log and console checked, then help and failures.
# Usage: zrdemo_test.sh ZRDEMO ZRARC ZRLOGVIEW WAIT_FOR_SLOT SCRATCH_DIR [seam]
# ("seam": the library can fail OS calls on request, see ZR_SEAM_FAIL).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../Common/tests/e2e.sh"
zrdemo=$1 zrarc=$2 zrlogview=$3 waitslot=$4 scratch=$5 seam=${6:-noseam}
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"

# A viewer serves the debug mail slot first and shows the run's six entries.
timeout 60 "$zrlogview" --log zrdemo --count 6 >view.out 2>view.err &
viewer=$!
trap 'kill "$viewer" 2>/dev/null || true' EXIT
"$waitslot" debug || fail "the viewer does not serve the debug mail slot: $(cat view.err)"
expect 0 "$zrdemo" --dir work --frames 12
wait "$viewer" || fail "the viewer exited $?: $(cat view.err)"
text_lines view.out view.err
viewed=$(awk -F'\t' '$3 == "zrdemo" { print $6 "/" $8 }' view.out | tr '\n' ' ')
[[ $viewed == "workspace/1 assets/2 pack/3 mount/4 frames/5 console/6 " ]] ||
    fail "the viewer showed '$viewed': $(cat view.out view.err)"
[[ ! -s err ]] || fail "a run on a pipe wrote to stderr: $(cat err)"
work=$(literal "$(native "$PWD/work")")
has "^archive: $work/Game\.arc$"
has "^log: +$work/zrdemo\.log$"
has "^trace: +$work/zrdemo-trace\.json \(open it in https://ui\.perfetto\.dev or chrome://tracing\)$"
# The trace holds the last frames' samples as complete events, nested.
python3 - work/zrdemo-trace.json <<'PY' || fail "the trace does not hold the frames: $(head -c 400 work/zrdemo-trace.json)"
import json, sys
events = json.load(open(sys.argv[1]))["traceEvents"]
names = {e["name"] for e in events if e["ph"] == "X" and e["dur"] >= 0}
assert {"Update", "Physics", "Pathfinding", "Render"} <= names, names
assert max(e["args"]["depth"] for e in events) >= 2
assert len({e["args"]["frame"] for e in events}) == 12
PY
has '^\[4/6\] mount .*Level=Harbour.*keywords: function if then else end for do while return$'
has '^\[5/6\] frames +12 frames in .* level 100% loaded \(48 records\)'
# The console's page, as rendered: command line, page label, samples, loading.
has '^    \| > _$'
has '^    \| Frame statistics:$'
has '^    \|       Pathfinding +[0-9.]+ '
has '^    \|   Level 100% \(Terrain\)'

expect 0 "$zrarc" verify work/Game.arc
has '^work/Game\.arc: OK$'
expect 0 "$zrarc" list work/Game.arc
has '^ +[0-9]+ +door\.zrs$'
has ' total, 3 files in 1 folder$'

# One line per step, in order, with the nine " | " fields of a log entry.
log=work/zrdemo.log
[[ $(wc -l <"$log") == 6 ]] || fail "the log has not 6 lines: $(cat "$log")"
steps=$(awk -F' \\| ' 'NF == 9 && $2 == "zrdemo" && $4 == 2 { print $6 "/" $8 }' "$log" | tr -d '\r' | tr '\n' ' ')
[[ $steps == "workspace/1 assets/2 pack/3 mount/4 frames/5 console/6 " ]] ||
    fail "log steps are '$steps': $(cat "$log")"

# A reused folder starts its log anew; --quiet prints only where things are.
expect 0 "$zrdemo" --quiet --dir work --frames 3
[[ $(wc -l <out) == 3 && $(wc -l <"$log") == 6 ]] || fail "quiet rerun: $(cat out "$log")"
# Frames too few to stream the whole level in show it partly loaded.
expect 0 "$zrdemo" --dir work --frames 2
has '^\[5/6\] frames +2 frames in .* level [0-9]+% loaded \(16 records\)'

# Without --dir: a fresh folder in the temp directory, each run its own. Wine
# gives its programs the temp directory of its prefix whatever the environment
# says, so there the two folders are left in it.
mkdir tmp
temp=$(literal "$PWD/tmp")
[[ -z ${ZR_E2E_WINE:-} ]] || temp='[A-Z]:\\.+'
TMPDIR=$PWD/tmp expect 0 "$zrdemo" --quiet --frames 1
has "^archive: $temp[\\/]zrdemo-[0-9a-f]{6}/Game\.arc$"
first=$(head -n1 out)
TMPDIR=$PWD/tmp expect 0 "$zrdemo" --quiet --frames 1
[[ $(head -n1 out) != "$first" ]] || fail "two runs shared a folder: $first"
[[ -n ${ZR_E2E_WINE:-} || $(ls tmp | wc -l) == 2 ]] || fail "two runs did not get two folders: $(ls tmp)"

expect 0 "$zrdemo" --help
has '^ +--dir DIR'
has '^ +--frames N'
expect 0 "$zrdemo" --version
has '^zrdemo [0-9]'
expect 2 "$zrdemo" --no-such-option
has "^zrdemo: unknown option '--no-such-option'$" err
expect 2 "$zrdemo" --frames 0

# A folder that cannot exist: a plain file stands where its parent should be.
: >plain
expect 1 "$zrdemo" --dir plain/work
has '^zrdemo: plain/work: workspace: cannot create the folder: ' err
# An unwritable folder, where permissions deny (not as root).
mkdir -p locked && chmod 555 locked
if ! : 2>/dev/null >locked/probe; then
    expect 1 "$zrdemo" --dir locked
    has '^zrdemo: .*: permission denied$' err
else
    echo "skipped: permissions do not deny (running as root)"
fi
chmod 755 locked
# The same cause injected by the library, as root too: the second file opened
# is the property set of the assets step (the first is the log).
if [[ $seam == seam ]]; then
    ZR_SEAM_FAIL=open:2:access-denied expect 1 "$zrdemo" --dir work
    has '^zrdemo: src/Game/settings\.prop: assets: .*\(4005\): permission denied$' err
    tail -n1 work/zrdemo.log | grep -q ' | 6 | .* | assets | Assets\.cpp | 2 | ' ||
        fail "the failure was not logged: $(cat work/zrdemo.log)"
fi
echo "zrdemo: all checks passed"
