# Bash completion for quorvane: commands, verbs and each command's options.
_quorvane() {
    local cur prev words cword
    _init_completion || return

    local compare_opts="--set --rules --exclude --exclude-from --left-set --right-set --sort --columns --show --hide --state-order --help"
    local merge_opts="--execute --dry-run -n --json --dont-overwrite-equal --archive --allow-nested --force-delete"
    local command="${words[1]}" verb="${words[2]}"

    case "$prev" in
        --rules|--exclude-from|--out|-o|--plan|--archive) _filedir; return ;;
        --color|--colour) COMPREPLY=($(compgen -W "auto always never" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "report csv tsv" -- "$cur")); return ;;
        --type) COMPREPLY=($(compgen -W "mirror update" -- "$cur")); return ;;
        --direction) COMPREPLY=($(compgen -W "lr rl both" -- "$cur")); return ;;
        --list) COMPREPLY=($(compgen -W "fileRules folderRules compareOnlyFileRules compareOnlyFolderRules" -- "$cur")); return ;;
        --match) COMPREPLY=($(compgen -W "prefix contains suffix wildcard path regex" -- "$cur")); return ;;
        --rename) COMPREPLY=($(compgen -W "new after before replace" -- "$cur")); return ;;
        --show|--hide) COMPREPLY=($(compgen -W "equal different left right empty ignored" -- "$cur")); return ;;
    esac

    if [ "$cword" -eq 1 ]; then
        COMPREPLY=($(compgen -W "compare export diff sync actions snapshot history settings rules tags update script gui --help --version" -- "$cur"))
        return
    fi

    local opts=""
    case "$command" in
        compare) opts="$compare_opts --json --all --color --next-diff --prev-diff" ;;
        export) opts="${compare_opts/--columns/} --format --out -o --columns --all --force" ;;
        diff) opts="--text --hex --quick -u -U --unified --json --color --merge --out --force --help" ;;
        sync) opts="$compare_opts $merge_opts --type --direction --delete-orphans" ;;
        actions) opts="$compare_opts $merge_opts --mark --path --as --rename --only-diff --plan" ;;
        gui) opts="--start --help" ;;
        script)
            if [ "$cword" -eq 2 ]; then
                COMPREPLY=($(compgen -W "compare sync execute close --help" -- "$cur"))
                return
            fi
            if [[ "$cur" != -* ]]; then
                local keys
                case "$verb" in
                    compare) keys="Comparison= Left= Right= ShowUI= CompareMethod= ByContent= IgnoringDates= CompareEverything= Subfolders=" ;;
                    sync) keys="Comparison= Left= Right= ShowUI= SyncType= Direction= OrphansOnly= DeleteExtraItems=" ;;
                    execute) keys="Comparison= OverwriteIdentical= DeletePermanently= ArchiveToTrash= ArchiveToFolder= NoArchive=" ;;
                    *) keys="Comparison=" ;;
                esac
                case "$cur" in
                    SyncType=*) COMPREPLY=($(compgen -P SyncType= -W "SyMr SyUp" -- "${cur#*=}")) ;;
                    Direction=*) COMPREPLY=($(compgen -P Direction= -W "SyLR SyRL SyBo" -- "${cur#*=}")) ;;
                    CompareMethod=*) COMPREPLY=($(compgen -P CompareMethod= -W "CpTx CpBd CpBq" -- "${cur#*=}")) ;;
                    Left=*|Right=*|ArchiveToFolder=*)
                        local key="${cur%%=*}="
                        COMPREPLY=($(compgen -P "$key" -d -- "${cur#*=}")) ;;
                    *=*) COMPREPLY=($(compgen -P "${cur%%=*}=" -W "true false" -- "${cur#*=}")) ;;
                    *) COMPREPLY=($(compgen -W "$keys" -- "$cur")); compopt -o nospace ;;
                esac
                return
            fi
            opts="--json --headless --help" ;;
        snapshot|history|settings|rules|tags|update)
            local verbs
            case "$command" in
                snapshot) verbs="record show extract-json" ;;
                history) verbs="list lock unlock remove clear" ;;
                settings) verbs="list get set reset" ;;
                rules) verbs="list check enable disable add remove" ;;
                tags) verbs="get set" ;;
                update) verbs="check install" ;;
            esac
            if [ "$cword" -eq 2 ]; then
                COMPREPLY=($(compgen -W "$verbs --help" -- "$cur"))
                return
            fi
            case "$command $verb" in
                "snapshot record") opts="--md5 --force --help" ;;
                "snapshot show") opts="--sort --desc --folders-on-top --help" ;;
                "snapshot extract-json") opts="--out --help" ;;
                history\ *) opts="--files --folders --paths --help" ;;
                "settings list") opts="--json --help" ;;
                "settings get"|"settings set"|"settings reset")
                    if [[ "$cur" != -* ]] && [ "$cword" -eq 3 ]; then
                        COMPREPLY=($(compgen -W "$(quorvane settings list --json 2>/dev/null | sed -n 's/.*"key": "\([^"]*\)".*/\1/p')" -- "$cur"))
                        return
                    fi
                    opts="--help" ;;
                "rules list"|"update check") opts="--json --help" ;;
                "rules add") opts="--list --match --pattern --case-sensitive --help" ;;
                "rules remove") opts="--list --index --pattern --all --help" ;;
                "tags get") opts="--json --help" ;;
                "tags set") opts="--tags --help" ;;
                *) opts="--help" ;;
            esac ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$opts" -- "$cur"))
    else
        _filedir
    fi
} && complete -F _quorvane quorvane
