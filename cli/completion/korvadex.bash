# Bash completion of korvadex: its options, the names of -a, the formats of --format, and
# files everywhere else.
_korvadex() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -a|--algorithm|--only)
            local names="adler32 crc16 crc16ccitt crc32 crc32b gost94 md2 md4 md5 panama
                ripemd128 ripemd160 ripemd256 ripemd320 rmd128 rmd160 rmd256 rmd320
                sha0 sha1 sha256 sha384 sha512
                tiger whirlpool snefru128 snefru256 snefru128,4 snefru256,4"
            local bits passes
            for bits in 128 160 192 224 256; do
                for passes in 3 4 5; do names+=" haval$bits,$passes"; done
            done
            # After a comma, complete the next name of the list.
            local done_part="" word=$cur
            if [[ $cur == *,* ]]; then
                done_part=${cur%,*},
                word=${cur##*,}
            fi
            local IFS=$'\n'
            COMPREPLY=($(compgen -P "$done_part" -W "${names//[[:space:]]/$'\n'}" -- "$word"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W "report gnu bsd sfv" -- "$cur"))
            return
            ;;
        --key|--string|--match|--jobs)
            return
            ;;
        --key-file|--save|--input)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-a --algorithm --only --format --tag -b --binary -t --text
            -z --zero --lower --upper -r --recursive --follow --string --key --key-file
            --jobs --save -c --check --input --ignore-missing --quiet --status --strict
            -w --warn --match --list --paths --self-test -h --help -V --version" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -o bashdefault -F _korvadex korvadex
