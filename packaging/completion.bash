# Bash completion for VostrelCL: options with their values, ports, commands,
# and after "connect" the slaves recorded in ./MULTIPAIR.INI.

# Where ports are looked for (tests point these at a made-up tree).
_vostrel_sys_root=/sys
_vostrel_dev_root=/dev

# The ports worth offering, one a line.
_vostrel_ports() {
  local device number type
  for device in "$_vostrel_dev_root"/ttyS*; do
    number=${device##*/ttyS}
    [[ $number =~ ^[0-9]+$ ]] || continue
    # Serial core keeps a ttyS for every address it probed; type 0 means
    # that no UART answered there.
    type=$(cat "$_vostrel_sys_root/class/tty/ttyS$number/type" 2>/dev/null)
    [[ $type =~ ^[1-9][0-9]*$ ]] || continue
    printf '%s\n' "COM$((number + 1))" "$device"
  done
  for device in "$_vostrel_dev_root"/serial/by-id/* "$_vostrel_dev_root"/ttyUSB* \
    "$_vostrel_dev_root"/ttyACM*; do
    [[ -e $device ]] && printf '%s\n' "$device"
  done
}

# $1 without blanks (or CR) at either end, on a line of its own.
_vostrel_trimmed() {
  local text=${1#"${1%%[![:space:]]*}"}
  printf '%s\n' "${text%"${text##*[![:space:]]}"}"
}

# The names of the [Slaves] section of ./MULTIPAIR.INI, one a line.
_vostrel_slaves() {
  local line section=
  [[ -r MULTIPAIR.INI ]] || return 0
  while IFS= read -r line || [[ -n $line ]]; do
    line=${line#$'\xef\xbb\xbf'}
    line=$(_vostrel_trimmed "$line")
    case $line in
      '' | \;* | \#*) ;;
      \[*) section=${line//[[:space:]]/} section=${section,,} ;;
      *=*) [[ $section == '[slaves]' ]] && _vostrel_trimmed "${line#*=}" ;;
    esac
  done <MULTIPAIR.INI
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
      -l*) _vostrel_option_values -l "1200 2400 4800 9600 19200 38400 57600 115200 230400" ;;
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
