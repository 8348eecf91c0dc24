# Texts for the typing scripts and the typing benchmark.

# mixed_text COUNT SEED: COUNT characters drawn (reproducibly) from ASCII words and every printable ASCII symbol,
# accented Latin, CJK, an emoji, tabs and CR LF line breaks.
mixed_text() {
    local count=$1 seed=$2
    local LC_ALL=C.UTF-8
    local pieces=(
        "Hello" "World" "quick" "BROWN" "fox" "Jumps" "0123456789" " " " " " " " "
        '!' '"' '#' '$' '%' '&' "'" '(' ')' '*' '+' ',' '-' '.' '/' ':' ';' '<' '=' '>' '?' '@' '[' '\' ']' '^'
        '_' '`' '{' '|' '}' '~'
        "café" "naïve" "Über" "straße" "À" "ñ" "ç" "ø"
        "漢字" "テスト" "中文" "한국어" "😀"
        $'\t' $'\r\n'
    )
    local text=""
    RANDOM=$seed
    while [ "${#text}" -lt "$count" ]; do
        text+=${pieces[RANDOM % ${#pieces[@]}]}
    done
    printf '%s' "${text:0:count}"
}

# distinct_cjk COUNT: COUNT different CJK ideographs from U+4E00 on.
distinct_cjk() {
    local count=$1 i
    local LC_ALL=C.UTF-8
    for ((i = 0; i < count; i++)); do
        printf "\\U$(printf '%08x' $((0x4E00 + i * 7)))"
    done
}

# cjk_text COUNT DISTINCT SEED: COUNT ideographs drawn (reproducibly) from DISTINCT ones.
cjk_text() {
    perl -CS -e 'my ($count, $distinct, $seed) = @ARGV; srand($seed);
        my @a = map { chr(0x4E00 + int(rand(20000))) } 1 .. $distinct;
        print join("", map { $a[int(rand($distinct))] } 1 .. $count)' "$@"
}
