# bash completion for velmora: the switches of a batch run, the files each one takes, and
# the long form's options.

# Folders, and the streams Velmora reads in any letter case of their extension.
_velmora_streams() {
    local name IFS=$'\n'
    for name in $(compgen -f -- "$1"); do
        case "${name,,}" in
            *.ac3 | *.eac3 | *.ec3 | *.dts | *.dtshd | *.mpa | *.mp1 | *.mp2 | *.mp3 | *.m2a | \
                *.aac | *.adts | *.wav | *.rf64 | *.bw64)
                COMPREPLY+=("$name") ;;
            *) [[ -d "$name" ]] && COMPREPLY+=("$name") ;;
        esac
    done
}

_velmora() {
    local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}" IFS=$'\n'
    COMPREPLY=()
    compopt -o filenames 2>/dev/null
    case "${prev,,}" in
        /source) _velmora_streams "$cur"; return ;;
        /target) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        # A number of milliseconds: nothing to offer.
        /startdelay | /enddelay | --start-delay | --end-delay) return ;;
        --output-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --source) _velmora_streams "$cur"; return ;;
        --target) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac
    if [[ "$cur" == /* ]]; then
        # A switch, or a name from the root folder.
        local switches=$'/Source\n/Target\n/Startdelay\n/Enddelay\n/Silence\n/Nosilence\n/Repair\n/Norepair'
        COMPREPLY=($(compgen -W "$switches"$'\n/Close\n/Hidden' -- "$cur"))
        _velmora_streams "$cur"
    elif [[ "$cur" == -* ]]; then
        # The long form's options, anywhere among its files.
        local options=$'--help\n-h\n--version\n-V\n--source\n--target\n--start-delay\n--end-delay'
        options+=$'\n--silence\n--no-silence\n--repair\n--no-repair\n--output-dir\n--name-residual'
        options+=$'\n--quiet\n-q\n--'
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        # Alone, a stream's name opens the window with it chosen.
        _velmora_streams "$cur"
    fi
}
complete -F _velmora velmora
