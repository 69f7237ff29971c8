#!/usr/bin/env bash
# Every option tunevale-cli's help names is in its manual page and its bash completion, so
# neither falls behind when an option is added.
# Usage: check-cli-docs.sh TUNEVALE_CLI MANUAL_PAGE COMPLETION
set -euo pipefail
cli=$1
manual=$(sed 's/\\-/-/g' "$2")
completion=$(cat "$3")

status=0
for command in "" info transcode convert; do
    # shellcheck disable=SC2086 # no command: the program's own help
    options=$("$cli" $command --help | { grep -o -- '--[a-z0-9][a-z0-9-]*' || true; } | sort -u)
    for option in $options; do
        if ! grep -qE -- "$option([^a-z0-9-]|$)" <<<"$manual"; then
            echo "tunevale-cli.1 lacks $option (${command:-tunevale-cli})"
            status=1
        fi
        if [ "$command" = convert ] && ! grep -qE -- "$option([^a-z0-9-]|$)" <<<"$completion"; then
            echo "the bash completion lacks $option"
            status=1
        fi
    done
done
exit $status
