# bash completion for feedquill: its switches, and the names of the projects after --project.
_feedquill()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    if [ "$prev" = --project ]; then
        local config=$HOME/.feedquill/Feedquill.cfg
        [ -r "$config" ] || return 0
        COMPREPLY=($(compgen -W "$(sed -n 's/^\[project\/\(.*\)\]$/\1/p' "$config")" \
            -- "$cur"))
        return 0
    fi
    COMPREPLY=($(compgen -W '-h --help -c --cmd -q --quiet -l --local --version --project
        --all --print' -- "$cur"))
}
complete -F _feedquill feedquill
