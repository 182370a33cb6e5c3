# bash completion for nuvora-cli. Plain bash (compgen), so it needs nothing from the
# bash-completion package beyond being loaded.

# The program folder: where the language files and the ports/COMn aliases are.
_nuvora_cli_folder()
{
    local program
    program=$(type -P "${COMP_WORDS[0]}") || return
    program=$(readlink -f "$program") && printf '%s\n' "${program%/*}"
}

_nuvora_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local folder words=() f
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W 'info program ports --help' -- "$cur")
        return
    fi
    folder=$(_nuvora_cli_folder)
    case $prev in
    --port)
        # Alias numbers first: they are what the window's Com menu and the settings use.
        for f in "$folder"/ports/COM*; do
            [ -e "$f" ] || [ -L "$f" ] && words+=("${f##*/COM}")
        done
        for f in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM*; do
            [ -e "$f" ] && words+=("$f")
        done
        mapfile -t COMPREPLY < <(compgen -W "${words[*]}" -- "$cur")
        return
        ;;
    --lang)
        for f in "$folder"/*.lng; do
            [ -e "$f" ] && f=${f##*/} && words+=("${f%.lng}")
        done
        mapfile -t COMPREPLY < <(compgen -W "${words[*]}" -- "$cur")
        return
        ;;
    --dump)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --folder | --sysfs)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        case ${COMP_WORDS[1]} in
        info) words=(--dump --lang --help) ;;
        program) words=(--port --lang --help) ;;
        ports) words=(--folder --sysfs --help) ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "${words[*]}" -- "$cur")
        return
    fi
    case ${COMP_WORDS[1]} in
    info | program)
        # The image: S-record files, and folders to walk into.
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -X '!*.[mM][hH][xX]' -- "$cur"; compgen -d -- "$cur")
        ;;
    esac
}
complete -F _nuvora_cli nuvora-cli
