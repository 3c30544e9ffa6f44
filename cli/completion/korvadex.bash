# Bash completion of korvadex: its options, the names of -a, the formats of --format, and
# files everywhere else.
_korvadex() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        -a|--algorithm|--only)
            local names="adler32 crc16 crc-16/arc crc16ccitt crc-16/ibm-3740
                crc-16/ccitt-false crc32 crc-32/iso-hdlc crc32b crc-32/bzip2
                gost gost94 gostr3411-94 md2 md4 md5 panama
                ripemd128 ripemd160 ripemd256 ripemd320 rmd128 rmd160 rmd256 rmd320 ripemd
                sha0 sha1 sha256 sha384 sha512 sha2-256 sha2-384 sha2-512
                snefru snefru128 snefru-128 snefru128,4 snefru128,8
                snefru256 snefru-256 snefru256,4 snefru256,8
                tiger tiger192 tiger192,3 whirlpool"
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
            COMPREPLY=($(compgen -W "report gnu bsd sfv hashdeep json csv" -- "$cur"))
            return
            ;;
        --read-order)
            COMPREPLY=($(compgen -W "auto parallel sequential" -- "$cur"))
            return
            ;;
        --key|--string|--match|--jobs|--max-depth|--exclude|--include)
            return
            ;;
        --update|--audit)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --expect|--shard|--run-id)
            return
            ;;
        --key-file|--save|--input|--files-from|--known|--unknown|-o|--output)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-a --algorithm --only --format --tag -b --binary -t --text
            --tree --expect
            -z --zero --lower --upper -r --recursive --follow --exclude --include
            --max-depth -x --one-file-system --files-from -0 --null --string --key --key-file
            --jobs --read-order --save -c --check --input --ignore-missing --quiet --status --strict
            -w --warn --match --list --paths --self-test -h --help -V --version
            --update --rehash --prune --audit --known --unknown
            --check-embedded --embed-crc --cache --verify-cache --make-bag --fast
            --shard --run-id --merge -o --output --resume" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -o bashdefault -F _korvadex korvadex
