# bash completion for lyrabinder-cli and lyrabinder

# Completes file names of one kind: album (*_lb.mp3), archive (album or *_albw.mp3), mp3,
# wav, item (mp3, txt, jpg, gif), any case; folders always, to walk into.
_lyrabinder_files() {
    local IFS=$'\n' pattern
    case $1 in
        album) pattern='*_[lL][bB].[mM][pP]3' ;;
        archive) pattern='@(*_[lL][bB]|*_[aA][lL][bB][wW]).[mM][pP]3' ;;
        mp3) pattern='*.[mM][pP]3' ;;
        wav) pattern='*.[wW][aA][vV]' ;;
        item) pattern='*.@([mM][pP]3|[tT][xX][tT]|[jJ][pP][gG]|[gG][iI][fF])' ;;
    esac
    compopt -o filenames 2>/dev/null
    local -a files dirs
    files=($(compgen -f -X "!$pattern" -- "$cur"))
    dirs=($(compgen -d -- "$cur"))
    COMPREPLY=("${files[@]}" "${dirs[@]}")
}

_lyrabinder_cli() {
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    shopt -s extglob
    local commands="analyse list extract create web cue encode demo play"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --help" -- "$cur"))
        return
    fi
    local command=${words[1]} options kind
    case $command in
        analyse) options="--json"; kind=mp3 ;;
        list) options="--json"; kind=archive ;;
        extract) options="--to --all --item --force"; kind=archive ;;
        create) options="-o --output --title --artist --year --incomplete --tracks --fix-title
                         --force --folder --each --out --jobs --convert --json"; kind=item ;;
        web) options="--open"; kind=album ;;
        cue) options="--force"; kind=album ;;
        encode) options="--encoder --force"; kind=wav ;;
        demo) options=""; kind=dir ;;
        play) options="--track --from --for --loop --random --json"; kind=album ;;
        *) return ;;
    esac
    case $prev in
        --to | --folder | --each | --out)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        -o | --output)
            _lyrabinder_files album
            return ;;
        --encoder)
            COMPREPLY=($(compgen -W "lame bladeenc" -- "$cur"))
            return ;;
        --title | --artist | --year | --tracks | --fix-title | --item | --jobs | --track | \
            --from | --for)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
    elif [[ $kind == dir ]]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
    else
        _lyrabinder_files "$kind"
    fi
}
complete -F _lyrabinder_cli lyrabinder-cli
