#!/usr/bin/env bash
# CI: runs the tests that need a user whom file permissions bind (they skip as root) under a
# scratch user id. The test programs are copied where that user may run them.
# Usage: scripts/ci-unprivileged.sh [BUILD_DIR, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
filter='BadInput.SourceWithoutReadPermissionFails:AudioInformationBadInput.UnreadableFileFails:FolderScanTest.UnreadableFoldersAreSkipped'
uid=64123 # no account: owns nothing but the scratch folder

if [ "$(id -u)" -ne 0 ]; then
    programs=("$build/tests/common/common_tests" "$build/tests/filelist/filelist_tests")
    for program in "${programs[@]}"; do "$program" --gtest_filter="$filter"; done
    exit 0
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$build/tests/common/common_tests" "$build/tests/filelist/filelist_tests" "$scratch/"
mkdir "$scratch/home"
chown -R "$uid:$uid" "$scratch"
chmod 755 "$scratch"

status=0
passed=0
for program in common_tests filelist_tests; do
    output="$(setpriv --reuid="$uid" --regid="$uid" --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$scratch/home" TMPDIR="$scratch/home" \
        QT_QPA_PLATFORM=offscreen "$scratch/$program" --gtest_filter="$filter" 2>&1)" || status=1
    echo "$output"
    passed=$((passed + $(grep -c '^\[       OK \]' <<<"$output" || true)))
    # A skip here would mean the user can still read everything: not a pass.
    if grep -q '\[  SKIPPED \]' <<<"$output"; then
        echo "error: $program skipped a permission test as user $uid" >&2
        status=1
    fi
done
if [ "$passed" -ne "$(tr ':' '\n' <<<"$filter" | wc -l)" ]; then
    echo "error: $passed of the permission tests passed as user $uid" >&2
    status=1
fi
exit "$status"
