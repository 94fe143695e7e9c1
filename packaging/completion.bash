# Bash completion for VostrelCL: options with their values, ports, commands,
# and after "connect" the slaves recorded in ./MULTIPAIR.INI. Ports and
# slaves come from the program itself, so that they are the ones it sees.

# The program asked for rates, ports and slaves (tests point this at a
# stand-in).
_vostrel_program=VostrelCL

# The ports worth offering, one a line: the names --list gives and the
# devices they open (its first two lines are the banner).
_vostrel_ports() {
  "$_vostrel_program" --list 2>/dev/null | tail -n +3 | awk '$2 ~ /^(\/|\\)/ { print $1; print $2 }'
}

# The names of the slaves of ./MULTIPAIR.INI, one a line.
_vostrel_slaves() {
  "$_vostrel_program" --list-slaves 2>/dev/null
}

# Completes an option written together with its value ("-l38400"): $1 is
# the option, $2 its values. The values are matched without regard to case.
_vostrel_option_values() {
  local typed=${cur:2}
  COMPREPLY=($(compgen -P "$1" -W "$2" -- "${typed,,}"))
}

_VostrelCL() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local i word port= command=
  COMPREPLY=()
  # Options, then the port, the command and its one argument.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -z $port ]]; then
      [[ $word == -* ]] || port=$word
    elif [[ -z $command ]]; then
      command=$word
    else
      return 0
    fi
  done

  if [[ -n $command ]]; then
    [[ ${command,,} == connect ]] || return 0
    local IFS=$'\n' name
    for name in $(_vostrel_slaves); do
      [[ ${name,,} == "${cur,,}"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
    done
  elif [[ -n $port ]]; then
    COMPREPLY=($(compgen -W "status program pair reset multipair connect disconnect" -- "$cur"))
  else
    case $cur in
      -c* | -o* | -x*) _vostrel_option_values "${cur:0:2}" "disabled enabled" ;;
      -k*) _vostrel_option_values -k "one two" ;;
      -l*) _vostrel_option_values -l "$("$_vostrel_program" --list-rates 2>/dev/null)" ;;
      -m*) _vostrel_option_values -m "none odd even" ;;
      -r*) _vostrel_option_values -r "master slave" ;;
      -z*) _vostrel_option_values -z "0 5 10" ;;
      -[dnp]*) ;;
      -*)
        COMPREPLY=($(compgen -W "-c -d -k -l -m -n -o -p -r -x -z --help --list --version" \
          -- "$cur"))
        ;;
      *)
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(_vostrel_ports)" -- "$cur"))
        # A device the list does not know, such as the simulator's.
        [[ ${#COMPREPLY[@]} -eq 0 && $cur == /* ]] && COMPREPLY=($(compgen -f -- "$cur"))
        ;;
    esac
  fi
  return 0
}

complete -F _VostrelCL VostrelCL
