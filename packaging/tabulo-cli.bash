# Bash completion for tabulo-cli: commands, their options, and table names where a connection is given.
_tabulo_cli() {
  local cur prev words cword
  _init_completion || return
  local commands="tables schema open script sql export report print gendata import words barcode"
  local i cmd="" conn=()
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --udl | --connect) conn=("${words[i]}" "${words[i + 1]}"); ((i++)) ;;
      -*) ;;
      *) if [[ -z $cmd ]]; then cmd=${words[i]}; fi ;;
    esac
  done
  case $prev in
    --udl | --source-udl) _filedir udl; return ;;
    --out | --template | --settings | --source | --rtf) _filedir; return ;;
    --format) COMPREPLY=($(compgen -W "text sylk xlsx" -- "$cur")); return ;;
    --type) COMPREPLY=($(compgen -W "insert update add update-add add-missing" -- "$cur")); return ;;
    --action) COMPREPLY=($(compgen -W "save show print" -- "$cur")); return ;;
    --dialect) COMPREPLY=($(compgen -W "mssql sqlite postgresql mysql" -- "$cur")); return ;;
    --paper) COMPREPLY=($(compgen -W "A4 Letter Legal A3 A5 B5 Executive" -- "$cur")); return ;;
    --lang) COMPREPLY=($(compgen -W "en cs" -- "$cur")); return ;;
    --currency) COMPREPLY=($(compgen -W "short long" -- "$cur")); return ;;
    --connect | --top | --sql | --filter | --sort | --keys | --values | --add | --separator | --quote | \
      --fill | --encoding | --font | --id-line | --dataset | --var | --set | --font-size | --count | \
      --map | --source-connect | --table | --fixed | --calc | --exclude | --title | --width | --module | \
      --sheet | --date-format | --time-format | --num-format | --zoom | --page-zoom | --start-row | --start-col)
      return ;;
  esac
  if [[ -z $cmd ]]; then
    COMPREPLY=($(compgen -W "--udl --connect --version --help $commands" -- "$cur"))
    return
  fi
  local opts=""
  case $cmd in
    tables) opts="--views --both --exclude" ;;
    open) opts="--top --sql --filter --sort" ;;
    script) opts="--type --keys --values --delete-all --identity-insert --add --dialect" ;;
    export) opts="--format --out --top --no-titles --field-names --all-fields --trim --encoding --action
                  --delimited --separator --quote --fill --memos --append --all-as-text --sums --font
                  --no-widths --id-line --font-size --sheet --borders --wrap-memos --freeze --auto-filter
                  --date-format --time-format --num-format --zoom --page-zoom --start-row --start-col
                  --new-sheet" ;;
    report) opts="--template --out --top --action --dataset --var --set" ;;
    print) opts="--out --rtf --top --paper --landscape --title --sums --font-size --page-numbers --count
                 --grid --fit --all-fields" ;;
    gendata) opts="--count --settings --update" ;;
    import) opts="--settings --map --source-udl --source --source-connect --table --sql --type --keys
                  --fixed --calc --check-only" ;;
    words) opts="--lang --currency" ;;
    barcode) opts="--out --checksum --no-checksum --width --module" ;;
    sql) _filedir sql; return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$opts" -- "$cur"))
    return
  fi
  # The table argument: names from the database when a connection is given.
  case $cmd in
    open | script | export | report | print | gendata | import)
      if [[ ${#conn[@]} -eq 2 && $prev == "$cmd" ]]; then
        local conn_arg=${conn[1]}
        [[ ${conn[0]} == --udl ]] && conn_arg=${conn_arg/#\~/$HOME}
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(tabulo-cli "${conn[0]}" "$conn_arg" tables --both 2>/dev/null)" -- "$cur"))
        # Names such as "Order Details" go on the line quoted.
        [[ ${#COMPREPLY[@]} -gt 0 ]] && COMPREPLY=($(printf '%q\n' "${COMPREPLY[@]}"))
      fi
      ;;
  esac
}
complete -F _tabulo_cli tabulo-cli
