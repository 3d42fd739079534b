# bash completion for lyrabinder: an album or an AlbumWrap archive to open
_lyrabinder() {
    local cur=${COMP_WORDS[COMP_CWORD]} IFS=$'\n'
    shopt -s extglob
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -X '!@(*_[lL][bB]|*_[aA][lL][bB][wW]).[mM][pP]3' -- "$cur")
               $(compgen -d -- "$cur"))
}
complete -F _lyrabinder lyrabinder
