# bash completion for nuvora-cli. Plain bash (compgen), so it needs nothing from the
# bash-completion package beyond being loaded.

# The program folder: where the language files and the ports/COMn aliases are.
_nuvora_cli_folder()
{
    local program
    program=$(type -P "${COMP_WORDS[0]}") || return
    program=$(readlink -f "$program") && printf '%s\n' "${program%/*}"
}

# Port numbers: the aliases ports/COMn in the given folders.
_nuvora_cli_aliases()
{
    local folder f
    for folder; do
        for f in "$folder"/ports/COM*; do
            [ -e "$f" ] || [ -L "$f" ] && printf '%s\n' "${f##*/COM}"
        done
    done
}

_nuvora_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local folder words=() f
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W 'info program ports read --help' -- "$cur")
        return
    fi
    folder=$(_nuvora_cli_folder)
    local user=${XDG_CONFIG_HOME:-$HOME/.config}/Nuvora
    if [ "${COMP_WORDS[COMP_CWORD-2]}" = --alias ]; then
        prev=--device # the word after --alias N
    fi
    case $prev in
    --port | -p | --device)
        # Alias numbers first: they are what the window's Com menu and the settings use.
        [ "$prev" != --device ] && mapfile -t words < <(_nuvora_cli_aliases "$folder" "$user")
        for f in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM*; do
            [ -e "$f" ] && words+=("$f")
        done
        mapfile -t COMPREPLY < <(compgen -W "${words[*]}" -- "$cur")
        return
        ;;
    --unalias)
        mapfile -t COMPREPLY < <(compgen -W "$(_nuvora_cli_aliases "$user")" -- "$cur")
        return
        ;;
    --alias | --start | --length)
        return # a number of the user's choice
        ;;
    --lang)
        for f in "$folder"/*.lng; do
            [ -e "$f" ] && f=${f##*/} && words+=("${f%.lng}")
        done
        mapfile -t COMPREPLY < <(compgen -W "${words[*]}" -- "$cur")
        return
        ;;
    --dump | --output | -o | --record)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --folder | --sysfs | --by-id)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        case ${COMP_WORDS[1]} in
        info) words=(--dump --json --lang --quiet --version --help) ;;
        program) words=(--port --lang --strict --verify --continuous --record --json --quiet
            --verbose --version --help) ;;
        read) words=(--port --start --length --output --json --lang --quiet --verbose --version --help) ;;
        ports) words=(--folder --sysfs --alias --unalias --by-id --version --help) ;;
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
