# bash completion for tamselplay: options, their values, songs, folders and
# playlists.
_tamselplay() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}

    case $prev in
        --mute|--solo)
            # A comma-separated list: complete the last item.
            local done=${cur%"${cur##*,}"}
            COMPREPLY=($(compgen -P "$done" -W '1 2 3 drums' -- "${cur##*,}"))
            compopt -o nospace 2>/dev/null
            return ;;
        -l|--loops|-t|--tick|--gain|--volume|--stereo|--start)
            return ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--loops --tick --mute --solo --gain --loop-forever --volume --stereo
            --shuffle --start --help --version' -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -X '!@(*.[tT][sS][mM]|*.[mM]3[uU]|*.[mM]3[uU]8)' -- "$cur") $(compgen -d -- "$cur"))
    compopt -o filenames 2>/dev/null
}
complete -F _tamselplay tamselplay
