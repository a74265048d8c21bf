#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plants each fault of tests/faults/faults.txt in turn, rebuilds what the tests it names need,
# runs those tests and records whether they caught it; the file is restored after every fault
# (and on any exit). A fault whose text is not found exactly once fails the run: the list
# cannot rot silently.
#
# Usage: scripts/fault-check.sh [BUILD_DIR] [FAULT_ID...]
#   BUILD_DIR  a configured build whose source tree this script changes while it runs (each
#              file is put back as it was): give one only of a checkout nobody else is editing.
#              Without it, or with "-", the script adds a git worktree of HEAD in a temporary
#              directory, builds what the tests need there (-j2) and removes it at the end: the
#              caller's tree is never changed.
#   FAULT_ID   only these faults (default: all).
# Environment: FAULT_CHECK_DRY=1 only checks that every fault is found in this checkout (nothing
# is changed, built or run); FAULT_CHECK_OUT=DIR puts the results there; the selected tests are
# first run without a fault and must pass (FAULT_CHECK_SKIP_BASELINE=1 skips that).
# Results: one line per fault on stdout and in results.tsv (id, outcome, the CTest tests that
# failed, the test cases that failed) under FAULT_CHECK_OUT, by default BUILD_DIR/fault-check
# (a temporary directory with a worktree of its own); a log per fault beside it. Exit status 1
# when a fault was missed or could not be planted or built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:--}
[[ $# -gt 0 ]] && shift
wanted=("$@")

# Counts OLD in FILE; with a fourth argument "write", replaces it (only when found once). Prints
# the line it starts on; fails unless it occurs exactly once.
locate_fault() {
    python3 - "$@" <<'PYTHON'
import sys
path, old, new, mode = sys.argv[1:5]
text = open(path, encoding="utf-8").read()
count = text.count(old)
if count != 1:
    sys.stderr.write(f"fault text found {count} times in {path}: {old}\n")
    sys.exit(1)
at = text.index(old)
if mode == "write":
    open(path, "w", encoding="utf-8").write(text.replace(old, new))
print(text.count("\n", 0, at) + 1)
PYTHON
}

if [[ "${FAULT_CHECK_DRY:-0}" == 1 ]]; then
    status=0
    while IFS=$'\t' read -r id where tests old new; do
        [[ -z "$id" || "$id" == \#* ]] && continue
        if found=$(locate_fault "$here/${where%:*}" "$old" "$new" check); then
            note=""
            [[ "$found" == "${where##*:}" ]] || note=" (listed as line ${where##*:})"
            printf '%s\tfound\t%s:%s%s\n' "$id" "${where%:*}" "$found" "$note"
        else
            printf '%s\tNOT-FOUND\t%s\n' "$id" "$where"
            status=1
        fi
    done <"$here/tests/faults/faults.txt"
    exit $status
fi

worktree=""
cleanup_worktree() {
    if [[ -n "$worktree" ]]; then
        git -C "$here" worktree remove --force "$worktree" >/dev/null 2>&1 || true
    fi
}
trap cleanup_worktree EXIT
if [[ "$build" == "-" ]]; then
    worktree=$(mktemp -d "${TMPDIR:-/tmp}/lirra-faults.XXXXXX")
    rmdir "$worktree"
    git -C "$here" worktree add --detach "$worktree" HEAD >/dev/null
    build="$worktree/build"
    # Only what the selected tests need is built, by the first run below.
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S "$worktree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
    echo "fault-check: a worktree of HEAD in $worktree; its first build takes a while" >&2
fi
build=$(cd "$build" && pwd)
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
[[ -d "$source_dir" ]] || { echo "fault-check: $build is not a configured build" >&2; exit 2; }
list="$source_dir/tests/faults/faults.txt"
if [[ -n "${FAULT_CHECK_OUT:-}" ]]; then
    out=$FAULT_CHECK_OUT
elif [[ -n "$worktree" ]]; then
    out=$(mktemp -d "${TMPDIR:-/tmp}/lirra-fault-results.XXXXXX")
else
    out="$build/fault-check"
fi
mkdir -p "$out"
results="$out/results.tsv"
: >"$results"

# The file being faulted and its saved copy; put back on any exit, with a new time so that the
# build system compiles it again.
planted=""
saved="$out/original"
restore() {
    if [[ -n "$planted" ]]; then
        cp "$saved" "$planted"
        touch "$planted"
        planted=""
    fi
}
trap 'restore; cleanup_worktree' EXIT
trap 'exit 130' INT TERM

targets=$(cmake --build "$build" --target help 2>/dev/null | sed -n 's/^\([A-Za-z0-9_.+-]*\): .*/\1/p')
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}

# Each test with the targets its command runs (a test named for its target, or a script given a
# built program, such as the service, as an argument), one "test target" pair per line.
test_targets=$(cd "$build" && ctest --show-only=json-v1 2>/dev/null | TARGETS="$targets" python3 -c '
import json, os, sys
targets = set(os.environ["TARGETS"].split())
for test in json.load(sys.stdin).get("tests", []):
    names = {test["name"]} | {os.path.basename(a) for a in test.get("command", [])}
    for name in sorted(names & targets):
        print(test["name"], name)
')

# The targets of a selection's tests (their dependencies follow); the page tests need the server.
# Each entry of a selection is a regular expression over the CTest names.
targets_of() {
    local t name target
    for t in ${1//,/ }; do
        while read -r name target; do
            [[ -n "$target" && "$name" =~ ^($t)$ ]] && echo "$target"
        done <<<"$test_targets"
        if [[ "pages_browser" =~ ^($t)$ ]]; then echo lirra-server; fi
    done
}
run_tests() {  # SELECTION LOG: false when a test failed
    (cd "$build" && timeout 1500 "$source_dir/scripts/with-display.sh" \
        ctest -R "^(${1//,/|})\$" --output-on-failure) >>"$2" 2>&1
}

# Every selected test must pass without a fault, or a failure would prove nothing.
if [[ "${FAULT_CHECK_SKIP_BASELINE:-0}" != 1 ]]; then
    # The tests of the faults asked for (all of them when none is named).
    union=$(grep -v '^#' "$list" | awk -F'\t' -v ids=" ${wanted[*]} " \
        'ids == "  " || index(ids, " " $1 " ") { print $3 }' | tr ',' '\n' | sort -u | paste -sd, -)
    : >"$out/baseline.log"
    mapfile -t baseline_targets < <(targets_of "$union" | sort -u)
    if { [[ ${#baseline_targets[@]} -gt 0 ]] &&
        ! cmake --build "$build" -j2 --target "${baseline_targets[@]}" >>"$out/baseline.log" 2>&1; } ||
        ! run_tests "$union" "$out/baseline.log"; then
        echo "fault-check: the tests fail without any fault; see $out/baseline.log" >&2
        exit 2
    fi
fi

missed=0
broken=0
all_targets=()
while IFS=$'\t' read -r -u 3 id where tests old new; do
    [[ -z "$id" || "$id" == \#* ]] && continue
    if [[ ${#wanted[@]} -gt 0 && ! " ${wanted[*]} " =~ " $id " ]]; then continue; fi
    file=${where%:*}
    cp -p "$source_dir/$file" "$saved"
    planted="$source_dir/$file"
    if ! found=$(locate_fault "$planted" "$old" "$new" write); then
        restore
        printf '%s\tNOT-FOUND\t\t\n' "$id" | tee -a "$results"
        broken=$((broken + 1))
        continue
    fi
    [[ "$found" == "${where##*:}" ]] || echo "fault-check: $id is on line $found of $file" >&2

    mapfile -t build_targets < <(targets_of "$tests")
    all_targets+=("${build_targets[@]}")
    log="$out/$id.log"
    : >"$log"
    outcome=""
    # A planted build rule takes effect only once the build is configured again.
    configure() { [[ "$file" != *CMakeLists.txt && "$file" != *.cmake ]] || cmake "$build" >>"$log" 2>&1; }
    if ! configure; then outcome=BUILD-FAILED; fi
    if [[ -z "$outcome" && ${#build_targets[@]} -gt 0 ]] &&
        ! cmake --build "$build" -j2 --target "${build_targets[@]}" >>"$log" 2>&1; then
        outcome=BUILD-FAILED
    fi
    if [[ -z "$outcome" ]]; then
        if run_tests "$tests" "$log"; then outcome=MISSED; else outcome=caught; fi
    fi
    restore
    configure
    failed_tests=$(sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(.*/\1/p' "$log" | sort -u |
                   paste -sd, -)
    failed_cases=$( (sed -nE 's/^\[  FAILED  \] ([A-Za-z0-9_/]+\.[A-Za-z0-9_/]+).*/\1/p' "$log"
                     sed -nE 's/^[[:space:]]*not ok [0-9]+ - (.*)/\1/p' "$log") |
                   sort -u | paste -sd, -)
    if [[ "$outcome" == caught && -z "$failed_tests" ]]; then outcome=MISSED; fi
    if [[ "$outcome" == MISSED ]]; then missed=$((missed + 1)); fi
    if [[ "$outcome" == BUILD-FAILED ]]; then broken=$((broken + 1)); fi
    printf '%s\t%s\t%s\t%s\n' "$id" "$outcome" "$failed_tests" "$failed_cases" | tee -a "$results"
done 3<"$list"

# Leave what was rebuilt matching the restored sources again.
if [[ -z "$worktree" && ${#all_targets[@]} -gt 0 ]]; then
    cmake --build "$build" -j2 --target $(printf '%s\n' "${all_targets[@]}" | sort -u) \
        >/dev/null 2>&1 || true
fi
echo "fault-check: $missed missed, $broken not planted or not built; results in $results" >&2
[[ $missed -eq 0 && $broken -eq 0 ]]
