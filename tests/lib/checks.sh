# Named checks for the shell tests: `check NAME COMMAND...` counts and reports one check;
# `finish_checks` prints the tally in the form test runners read and fails if any check did.
passed=0
failed=0

check() { # name, then a command that succeeds when the check holds
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failed=$((failed + 1))
        echo "FAILED: $name"
    fi
}

finish_checks() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
