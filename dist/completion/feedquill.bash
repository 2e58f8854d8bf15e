# bash completion for feedquill: its switches (it takes no other arguments).
_feedquill()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=($(compgen -W '-h --help -c --cmd -q --quiet -l --local --version' -- "$cur"))
}
complete -F _feedquill feedquill
