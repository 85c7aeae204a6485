#!/usr/bin/env bash
# exec_under_wine (scripts/lib.sh) as a program, for CTest, Python and timeout(1): runs a
# Windows program under Wine in a prefix's session, from the caller's folder.
#   run_under_wine.sh [--simulator] [--native DLL]... PREFIX PROGRAM [ARG...]
#   run_under_wine.sh --environment PREFIX
#       prints that environment (VAR=value lines) instead, for a shell that runs Wine
#       itself, as a user does
# The program takes this script's place: a time-out that ends the script ends the program.
caller_folder=$PWD
source "$(dirname "$0")/lib.sh"
cd "$caller_folder"

if [ "${1:-}" = --environment ]; then
  wine_environment "${2:?prefix}"
  printf '%s\n' "${wine_variables[@]}"
else
  exec_under_wine "$@"
fi
