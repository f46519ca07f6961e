# Shared by the install and package tests: a scratch folder removed at exit, and check(), which
# runs a command, reports it and counts the failures.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # <what> <command...>
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
