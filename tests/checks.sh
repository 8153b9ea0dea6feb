# The checks of the project's shell tests, sourced by them:
#   check DESCRIPTION COMMAND...  runs COMMAND and prints "ok - DESCRIPTION"
#                                 or "FAIL - DESCRIPTION", counting failures;
#   finish                        prints the count and fails if it is not 0.
failures=0

check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
    else
        echo "FAIL - $what"
        failures=$((failures + 1))
    fi
}

finish() {
    echo "$failures failure(s)"
    [ "$failures" -eq 0 ]
}
