# Sourced by run.sh and on_host.sh: writes the script that runs a command elsewhere as it
# would run here, with this shell's exported environment (less the names given in
# VELMAR_NOT_PASSED, a regular expression) and its folder.
#   write_command_script FILE COMMAND [ARG...]
write_command_script() {
  local file=$1
  shift
  {
    echo '#!/bin/bash'
    export -p | grep -v -E "^declare -x (OLDPWD|PWD|SHLVL|_${VELMAR_NOT_PASSED:+|$VELMAR_NOT_PASSED})="
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
  } >"$file"
}
