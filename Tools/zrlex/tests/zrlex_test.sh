#!/usr/bin/env bash
# End-to-end test of zrlex: small scripts under each option, checked line by
# line, a script inside an archive, then failures and usage errors.
# Usage: zrlex_test.sh ZRLEX ZRARC SCRATCH_DIR [seam]
# ("seam": the library can fail OS calls on request, see ZR_SEAM_FAIL).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../Common/tests/e2e.sh"
zrlex=$1 zrarc=$2 scratch=$3 seam=${4:-noseam}
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"

# same: ./out is exactly the text on stdin.
same() { diff -u - out >diff || fail "unexpected output: $(cat diff)"; }

# Comments of each kind, escapes, numbers ("7." is 7 and '.'; 1..5 joins the
# dots); a block comment closes only at a later */, a slash alone is a
# character.
cat >comments.txt <<'EOF'
// line
x := "a\tb\"c\101" + 'it\'s' ;
/*/ block * / still
*/ n = 7. + 1..5 + 3.25/2
{ brace } ; asm
EOF
expect 0 "$zrlex" comments.txt
same <<'EOF'
2:1     WORD           x
2:3     COLON_EQUAL    :=
2:6     STRING(")      a\x09b"cA
2:20    CHAR           '+'
2:22    STRING(')      it's
2:30    CHAR           ';'
4:4     WORD           n
4:6     CHAR           '='
4:8     INTEGER        7.000000
4:9     CHAR           '.'
4:11    CHAR           '+'
4:13    INTEGER        1.000000
4:14    DOT_DOT        ..
4:16    INTEGER        5.000000
4:18    CHAR           '+'
4:20    REAL           3.250000
4:24    CHAR           '/'
4:25    INTEGER        2.000000
5:1     CHAR           '{'
5:3     WORD           brace
5:9     CHAR           '}'
5:11    CHAR           ';'
5:13    WORD           asm
6:1     EOF            EOF
EOF
expect 0 "$zrlex" --pascal-comments --asm-comments comments.txt
[[ $(tail -n 3 out) == $'4:24    CHAR           \'/\'\n4:25    INTEGER        2.000000\n6:1     EOF            EOF' ]] ||
    fail "Pascal and assembler comments: $(cat out)"
expect 0 "$zrlex" --no-slash-comments --no-strings comments.txt
has "^1:1     CHAR           '/'$"
has '^1:4     WORD           line$'
has '^2:6     CHAR           .".$'
has '^2:8     CHAR           .\\\\.$'

# Operator pairs join across white space and comments; the plain tokenizer
# keeps the characters apart.
printf 'a < = b >/* c */= c :\n= d <> e . . f <x>\n' >pairs.txt
expect 0 "$zrlex" pairs.txt
same <<'EOF'
1:1     WORD           a
1:3     LESS_EQUAL     <=
1:7     WORD           b
1:9     GREATER_EQUAL  >=
1:19    WORD           c
1:21    COLON_EQUAL    :=
2:3     WORD           d
2:5     LESS_GREATER   <>
2:8     WORD           e
2:10    DOT_DOT        ..
2:14    WORD           f
2:16    CHAR           '<'
2:17    WORD           x
2:18    CHAR           '>'
3:1     EOF            EOF
EOF
# Where the lexer drops a token (a comment between '<' and '>'), the next
# one still shows where it stands.
printf '< /**/ > x' >dropped.txt
expect 0 "$zrlex" dropped.txt
has '^1:10    WORD           x$'
expect 0 "$zrlex" --tokenizer pairs.txt
[[ $(sed -n 2,6p out | cut -c 24-) == $'\'<\'\n\'=\'\nb\n\'>\'\n\'=\'' ]] || fail "--tokenizer: $(cat out)"
has '^1:17    CHAR           .=.$'

# Keywords after lower-casing, text blocks, significant line ends (CR LF is
# one), tabs counted to the next multiple of the tab size.
printf 'BEGIN Print {! raw\n  text !}  {!!}\r\nEndless_1\t; x\n\ty\n' >blocks.txt
expect 0 "$zrlex" --lower --keywords begin=300 --keywords endless_1=-60 --text-blocks --eol blocks.txt
same <<'EOF'
1:1     KEYWORD(300)   begin
1:7     WORD           print
1:13    TEXTBLOCK       raw\x0A  text
2:12    TEXTBLOCK
2:16    EOL            EOL
3:1     KEYWORD(-60)   endless_1
3:12    CHAR           ';'
3:14    WORD           x
3:15    EOL            EOL
4:4     WORD           y
4:5     EOL            EOL
5:1     EOF            EOF
EOF
expect 0 "$zrlex" --keywords begin=300 --tab-size 8 --asm-comments --eol blocks.txt
has '^1:1     WORD           BEGIN$'
has '^1:13    CHAR           .\{.$'
has '^3:19    EOL            EOL$'
has '^4:8     WORD           y$'
expect 0 "$zrlex" --pascal-comments --text-blocks blocks.txt
[[ $(cut -c 1-8 out | tr -d ' \n') == 1:11:73:13:123:144:45:1 ]] || fail "{! inside a Pascal comment: $(cat out)"

# Untrusted bytes: zero bytes are white space, 0xFF a word character, high and
# control bytes escaped; a string ends at a line end, the last one at the end.
printf 'a\0b\xff\x80~\x7f \\ "x\\\\y\\q\xe9\001\n"open\\' >binary.txt
expect 0 "$zrlex" binary.txt
same <<'EOF'
1:1     WORD           a
1:3     WORD           b\xFF
1:5     CHAR           '\x80'
1:6     CHAR           '~'
1:7     CHAR           '\x7F'
1:9     CHAR           '\\'
1:11    STRING(")      x\\yq\xE9\x01
2:1     STRING(")      open
2:7     EOF            EOF
EOF
printf 'x /* open\n' >open.txt
expect 0 "$zrlex" open.txt
[[ $(cat out) == $'1:1     WORD           x\n2:1     EOF            EOF' ]] || fail "open comment: $(cat out)"
printf 'x {! open !' >open.txt
expect 0 "$zrlex" --text-blocks open.txt
has '^1:12    EOF            EOF$'
: >empty.txt
expect 0 "$zrlex" empty.txt
[[ $(cat out) == '1:1     EOF            EOF' ]] || fail "empty file: $(cat out)"

# Names the library's file system resolves: a script inside an archive.
mkdir -p tree/Scripts && cp pairs.txt tree/Scripts/a.txt
"$zrarc" --quiet create Data.arc tree
expect 0 "$zrlex" 'Data\Scripts\a.txt'
has '^2:10    DOT_DOT        \.\.$'

# Failures name the file and the library's error.
expect 1 "$zrlex" missing.txt
[[ $(cat err) == 'zrlex: missing.txt: File not found. (4002): not found' ]] || fail "$(cat err)"
expect 1 "$zrlex" 'Data\Scripts\none.txt'
has '^zrlex: Data\\Scripts\\none\.txt: File not found\. \(4002\)' err
if [[ $seam == seam ]]; then
    ZR_SEAM_FAIL=read:1:io expect 1 "$zrlex" 'Data\Scripts\a.txt'
    [[ $(cat err) == 'zrlex: Data\Scripts\a.txt: Error reading from file. (4006): input/output error' ]] ||
        fail "$(cat err)"
    [[ ! -s out ]] || fail "a failed read printed: $(cat out)"
fi
truncate -s 65M huge.txt
expect 1 "$zrlex" huge.txt
has '^zrlex: huge\.txt: too large: 68157440 bytes \(at most 67108864\)$' err

# Usage errors.
usage() {
    local problem=$1
    shift
    expect 2 "$zrlex" "$@"
    [[ $(cat err) == "zrlex: $problem"$'\n'"Try 'zrlex --help'." ]] || fail "'$*': $(cat err)"
    [[ ! -s out ]] || fail "'$*' printed: $(cat out)"
}
usage 'missing operand FILE'
usage "unexpected operand 'pairs.txt'" empty.txt pairs.txt
usage "--keywords: 'if' is not WORD=NUMBER" --keywords if empty.txt
usage "--keywords: empty entry in 'a=300,,b=301'" --keywords a=300,,b=301 empty.txt
usage "--keywords: '1st' is no word: a letter, '_' or byte from 0xA0 on first, then also digits" \
    --keywords 1st=300 empty.txt
for number in 2147483648 18446744073709551621 1e3 -; do
    usage "--keywords: '$number' is no whole number in the range of int" --keywords "a=$number" empty.txt
done
usage "--keywords: the number of 'a' is one the lexer returns itself (-54 to -50, -5 to 255)" \
    --keywords a=-50 empty.txt
usage "--keywords: 'Begin' never matches with --lower: words are lower-cased first" \
    --keywords Begin=300 --lower empty.txt
usage "--keywords: the plain tokenizer (--tokenizer) has none" --tokenizer --keywords a=300 empty.txt
usage '--tab-size: Value 0 not in range 1 to 100' --tab-size 0 empty.txt
expect 0 "$zrlex" --keywords a=-2147483648,b=256 empty.txt
expect 0 "$zrlex" --help
has '^  KEYWORD\(N\) '
expect 0 "$zrlex" --version
has '^zrlex [0-9]+\.[0-9]+\.[0-9]+$'
echo PASS
