# Sourced by the install checks: `expect WHAT EXPECTED ACTUAL` counts and
# shows a difference in $failures; `finish NAME` reports and sets the status.
failures=0

expect() {
  [[ $2 == "$3" ]] && return
  echo "FAILED: $1"
  diff <(printf '%s\n' "$2") <(printf '%s\n' "$3")
  failures=$((failures + 1))
}

finish() {
  [[ $failures -eq 0 ]] && echo "$1: every check passed"
  exit $((failures > 0))
}
