# bash completion for orbitpick: its options, the formats of --list-format,
# and file names everywhere else (the list, the catalogue, the output, the
# files of --base and --comets).

_orbitpick() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev='' i
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--option=value": bash splits the word at "=", into "--option" "=" value.
  if [[ $cur == = ]]; then
    cur=''
  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  COMPREPLY=()

  case $prev in
    --base | --comets)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return
      ;;
    --list-format)
      mapfile -t COMPREPLY < <(compgen -W 'quoted csv text json edb auto' -- "$cur")
      return
      ;;
    --column)
      return  # a column's name or number: nothing to offer
      ;;
    -h | --help | --version)
      return
      ;;
  esac

  # After "--" every word is a path.
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && break
  done
  if [[ $cur == -* ]] && ((i == COMP_CWORD)); then
    mapfile -t COMPREPLY < <(compgen -W '--exact --extended --merge --refresh
      --base --comets --list-format --column -h --help --version --' -- "$cur")
    return
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _orbitpick orbitpick
