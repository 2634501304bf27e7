# fish completion for korvex
set -l groups reg product open url ini base64 options watch demo
complete -c korvex -f
complete -c korvex -n "not __fish_seen_subcommand_from $groups" -a "$groups"
complete -c korvex -n "__fish_seen_subcommand_from reg" -a "query get add delete rename export import"
complete -c korvex -n "__fish_seen_subcommand_from product" -a "register find unregister"
complete -c korvex -n "__fish_seen_subcommand_from url" -a "parse make"
complete -c korvex -n "__fish_seen_subcommand_from ini" -a "get set dump"
complete -c korvex -n "__fish_seen_subcommand_from base64" -a "encode decode"
complete -c korvex -n "__fish_seen_subcommand_from options" -a "get set"
complete -c korvex -n "__fish_seen_subcommand_from watch" -a "reg folder"
complete -c korvex -s t -l type -x -a "REG_SZ REG_EXPAND_SZ REG_MULTI_SZ REG_DWORD REG_QWORD REG_BINARY REG_NONE"
complete -c korvex -s v -l value -x -d "the value's name"
complete -c korvex -l default -d "the unnamed value, or the default handler"
complete -c korvex -s f -l force -d "delete a key with subkeys"
complete -c korvex -s s -l recursive -d "every key or folder below too"
complete -c korvex -l json -d "JSON output"
complete -c korvex -l utf8 -d "export in UTF-8"
complete -c korvex -l data-file -r -F -d "the data from a file"
