# bash completion for korvex
_korvex() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local group=${COMP_WORDS[1]} command=${COMP_WORDS[2]}
  local words
  case $COMP_CWORD in
    1) words="reg product open url ini base64 options watch demo --help --version" ;;
    2) case $group in
         reg) words="query get add delete rename export import" ;;
         product) words="register find unregister" ;;
         url) words="parse make" ;;
         ini) words="get set dump" ;;
         base64) words="encode decode" ;;
         options) words="get set" ;;
         watch) words="reg folder" ;;
         open) words="--notify" ;;
       esac ;;
    *) case $prev in
         -t|--type) words="REG_SZ REG_EXPAND_SZ REG_MULTI_SZ REG_DWORD REG_QWORD REG_BINARY REG_NONE" ;;
         --data-file|--ini-file|--path) COMPREPLY=($(compgen -f -- "$cur")); return ;;
       esac
       if [[ -z $words ]]; then
         case "$group $command" in
           "reg query") words="-v --value --default -s --recursive --json" ;;
           "reg get") words="-v --value --default" ;;
           "reg add") words="-v --value --default -t --type -d --data --data-file --separator" ;;
           "reg delete") words="-v --value --default -f --force" ;;
           "reg export") words="--utf8" ;;
           "product register") words="--version --path --desktop --default" ;;
           "product find") words="--json" ;;
           "ini dump") words="--json" ;;
           "watch reg"|"watch folder") words="-s --recursive --json" ;;
           "options get"|"options set") words="--registry --ini --ini-name --ini-file --int" ;;
         esac
         [[ $cur == -* ]] || { COMPREPLY=($(compgen -f -- "$cur")); return; }
       fi ;;
  esac
  COMPREPLY=($(compgen -W "$words" -- "$cur"))
}
complete -F _korvex korvex
