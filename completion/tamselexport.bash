# bash completion for tamselexport: options, their values, and song files.
_tamselexport() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}

    case $prev in
        -f|--format)
            COMPREPLY=($(compgen -W 'wav wav16 wav24 flac flac24 ogg opus mp3' -- "$cur"))
            return ;;
        --dither)
            COMPREPLY=($(compgen -W 'tpdf none' -- "$cur"))
            return ;;
        --mute|--solo)
            # A comma-separated list: complete the last item.
            local done=${cur%"${cur##*,}"}
            COMPREPLY=($(compgen -P "$done" -W '1 2 3 drums' -- "${cur##*,}"))
            compopt -o nospace 2>/dev/null
            return ;;
        -o|--output)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            return ;;
        -d|--output-dir)
            COMPREPLY=($(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null
            return ;;
        -l|--loops|-t|--tick|-j|--jobs|--quality|--title|--artist|--gain|--loudness|--fade|--stereo)
            return ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-o --output -d --output-dir -l --loops -t --tick -j --jobs
            --force --info --json -q --quiet -h --help -V --version -f --format --quality
            --title --artist --gain --normalize --normalize= --loudness --dither --fade
            --stems --loopable --mute --solo --stereo --' -- "$cur"))
        return
    fi
    # Song files first; any file when none match.
    COMPREPLY=($(compgen -f -X '!*.[tT][sS][mM]' -- "$cur") $(compgen -d -- "$cur"))
    [[ ${#COMPREPLY[@]} -eq 0 ]] && COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
}
complete -F _tamselexport tamselexport
