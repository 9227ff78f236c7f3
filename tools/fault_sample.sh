#!/usr/bin/env bash
# Measures how good the tests are at catching faults: each fault of the table
# (tools/fault_sample.txt) is put into its file, only the test targets of its
# row are rebuilt and run, and the file is put back.  A fault is CAUGHT when a
# test executable exits non-zero (or hangs past the time limit), MISSED when
# they all pass, and DOES-NOT-COMPILE when its build fails (a row to fix).
# A test that fails and then passes when run again is flaky: the fault counts
# as missed.  The output of a failed test or build is kept in
# BUILD_DIR/fault-sample/NAME.log.
#
# Usage, from the repository root:
#   tools/fault_sample.sh [BUILD_DIR]          (default: build)
# Environment:
#   FAULT_TABLE    the table (default tools/fault_sample.txt)
#   FAULT_ONLY     an extended regular expression: only rows whose name matches
#   FAULT_TIMEOUT  seconds one test executable may run (default 300)
#   FAULT_CHECK    when set, only checks the table and lists its rows
set -uo pipefail

build=${1:-build}
table=${FAULT_TABLE:-tools/fault_sample.txt}
only=${FAULT_ONLY:-}
limit=${FAULT_TIMEOUT:-300}
export QT_QPA_PLATFORM=offscreen
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}

if [[ ! -f CMakeLists.txt || ! -d .git && ! -f .git ]]; then
    echo "fault_sample: run this from the repository root" >&2
    exit 2
fi
if [[ ! -f $table ]]; then
    echo "fault_sample: no table $table" >&2
    exit 2
fi

work=$(mktemp -d)
faulty=""   # the file that holds a fault right now; its original is $work/original

# Puts the original text back.  The file gets a new time, so the next build
# compiles it again.
restore() {
    if [[ -n $faulty ]]; then
        cat "$work/original" >"$faulty"
        faulty=""
    fi
}
trap 'restore; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM HUP

# --- the table -------------------------------------------------------------------

trim() {
    local s=$1
    s=${s#"${s%%[![:space:]]*}"}
    s=${s%"${s##*[![:space:]]}"}
    printf '%s' "$s"
}

# The one tracked file whose path ends in the suffix ("name.cpp" or "dir/name.cpp").
resolve() {
    git ls-files | awk -v s="$1" '$0 == s || substr($0, length($0) - length(s)) == "/" s'
}

names=() files=() tests=() finds=() replaces=()
errors=0
lineno=0
while IFS= read -r line || [[ -n $line ]]; do
    lineno=$((lineno + 1))
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    # NAME | FILE | TESTS | FIND => REPLACE
    name=$(trim "${line%%|*}");   rest=${line#*|}
    suffix=$(trim "${rest%%|*}"); rest=${rest#*|}
    targets=$(trim "${rest%%|*}"); rest=${rest#*|}
    rest="$rest "
    if [[ $rest != *" => "* ]]; then
        echo "$table:$lineno: no \" => \" between the text and its replacement" >&2
        errors=$((errors + 1))
        continue
    fi
    find=$(trim "${rest%%" => "*}")
    replace=$(trim "${rest#*" => "}")
    [[ -n $only && ! $name =~ $only ]] && continue
    matches=$(resolve "$suffix")
    count=$(printf '%s' "$matches" | grep -c .)
    if [[ $count -ne 1 ]]; then
        echo "$table:$lineno: $suffix names $count tracked files${matches:+: }${matches//$'\n'/ }" >&2
        errors=$((errors + 1))
        continue
    fi
    lines=$(grep -cF -- "$find" "$matches")
    if [[ $lines -ne 1 ]]; then
        echo "$table:$lineno: the text is on $lines lines of $matches, not on one: $find" >&2
        errors=$((errors + 1))
        continue
    fi
    if [[ -z $targets ]]; then
        echo "$table:$lineno: no test targets" >&2
        errors=$((errors + 1))
        continue
    fi
    names+=("$name") files+=("$matches") tests+=("$targets") finds+=("$find") replaces+=("$replace")
done <"$table"
if [[ $errors -gt 0 ]]; then
    echo "fault_sample: $errors bad rows in $table" >&2
    exit 2
fi
if [[ ${#names[@]} -eq 0 ]]; then
    echo "fault_sample: no rows to run" >&2
    exit 2
fi
if [[ -n ${FAULT_CHECK:-} ]]; then
    for i in "${!names[@]}"; do printf '%-34s %-40s %s\n' "${names[$i]}" "${files[$i]}" "${tests[$i]}"; done
    echo "${#names[@]} rows"
    exit 0
fi

# --- building and running ------------------------------------------------------

# "target" or "target:arguments" -> the target's name.
target_of() { printf '%s' "${1%%:*}"; }

# The targets of a list of test entries, each once.
targets_of() {
    local entry entries out=()
    read -ra entries <<<"$1"
    for entry in "${entries[@]}"; do out+=("$(target_of "$entry")"); done
    printf '%s\n' "${out[@]}" | awk '!seen[$0]++' | tr '\n' ' '
}

# Builds the targets of a blank-separated list; the log is $work/build.log.
build_targets() {
    local targets
    read -ra targets <<<"$1"
    cmake --build "$build" -j2 --target "${targets[@]}" >"$work/build.log" 2>&1
}

executable() {
    find "$build" -type f -name "$1" -perm -u+x -print -quit
}

# The full names of the tests that a gtest filter selects.
listed_tests() {   # executable filter-argument
    "$1" --gtest_list_tests "$2" 2>/dev/null | awk '
        /^[^ ]/ { suite = $1; next }
        /^  [^ ]/ { print suite $1 }'
}

# Runs one test entry; prints its exit code (124 for a hang).  A
# plain target runs as one process.  A target with a gtest filter runs each
# selected test in a process of its own, as ctest does: the end-to-end tests
# need a fresh application for every test.
run_entry() {
    local entry=$1 target exe rc=0 name names=()
    target=$(target_of "$entry")
    exe=$(executable "$target")
    if [[ -z $exe ]]; then
        echo "fault_sample: no executable $target in $build" >&2
        echo 127
        return
    fi
    mkdir -p "$work/run"
    if [[ $entry != *:* ]]; then
        (cd "$work/run" && timeout "$limit" "$exe") >"$work/test.log" 2>&1
        echo $?
        return
    fi
    mapfile -t names < <(listed_tests "$exe" "${entry#*:}")
    if [[ ${#names[@]} -eq 0 ]]; then
        echo "fault_sample: $entry selects no test" >&2
        echo 127
        return
    fi
    for name in "${names[@]}"; do
        (cd "$work/run" && timeout "$limit" "$exe" --gtest_filter="$name") >"$work/test.log" 2>&1
        rc=$?
        [[ $rc -ne 0 ]] && break
    done
    echo $rc
}

if [[ ! -f $build/CMakeCache.txt ]]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    echo "configuring $build"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >"$work/configure.log" 2>&1 || {
        cat "$work/configure.log" >&2
        exit 2
    }
fi
build=$(cd "$build" && pwd)

all_entries=$(printf '%s\n' "${tests[@]}" | tr ' ' '\n' | awk 'NF && !seen[$0]++' | tr '\n' ' ')
all_targets=$(targets_of "$all_entries")

# Without any fault every test must build and pass, or a failure would be
# taken for a caught fault.
echo "building $all_targets"
if ! build_targets "$all_targets"; then
    tail -30 "$work/build.log" >&2
    echo "fault_sample: the test targets do not build without a fault" >&2
    exit 2
fi
read -ra entries <<<"$all_entries"
for entry in "${entries[@]}"; do
    rc=$(run_entry "$entry")
    if [[ $rc -ne 0 ]]; then
        tail -30 "$work/test.log" >&2
        echo "fault_sample: $entry fails (exit $rc) without a fault" >&2
        exit 2
    fi
done

logs=$build/fault-sample
rm -rf "$logs"
mkdir -p "$logs"
caught=0 missed=0 broken=0
results=()
for i in "${!names[@]}"; do
    file=${files[$i]}
    cp "$file" "$work/original"
    faulty=$file
    FIND=${finds[$i]} REPLACE=${replaces[$i]} awk '
        !done && (at = index($0, ENVIRON["FIND"])) {
            $0 = substr($0, 1, at - 1) ENVIRON["REPLACE"] substr($0, at + length(ENVIRON["FIND"]))
            done = 1
        }
        { print }' "$work/original" >"$file"
    verdict="MISSED" by=""
    if ! build_targets "$(targets_of "${tests[$i]}")"; then
        verdict="DOES-NOT-COMPILE"
    else
        read -ra entries <<<"${tests[$i]}"
        for entry in "${entries[@]}"; do
            rc=$(run_entry "$entry")
            [[ $rc -eq 0 ]] && continue
            # A fault fails its test every time; a test that passes when run
            # again failed by chance, and the fault counts as missed.
            cp "$work/test.log" "$logs/${names[$i]}.log"
            if [[ $(run_entry "$entry") -eq 0 ]]; then
                by="($(target_of "$entry") failed once, then passed: flaky)"
                continue
            fi
            verdict="CAUGHT"
            by="by $(target_of "$entry")$([[ $rc -eq 124 ]] && echo " (time-out)")"
            break
        done
    fi
    restore
    [[ $verdict == DOES-NOT-COMPILE ]] && cp "$work/build.log" "$logs/${names[$i]}.log"
    case $verdict in
    CAUGHT) caught=$((caught + 1)) ;;
    MISSED) missed=$((missed + 1)) ;;
    *) broken=$((broken + 1)) ;;
    esac
    result=$(printf '%-16s %-34s %-28s %s' "$verdict" "${names[$i]}" "${file##*/}" "$by")
    results+=("$result")
    echo "$result"
done

# Build once more from the original files, so the build folder holds no fault.
echo "rebuilding $all_targets"
build_targets "$all_targets" || { tail -30 "$work/build.log" >&2; echo "fault_sample: the final rebuild failed" >&2; }

echo
printf '%s\n' "${results[@]}"
[[ $broken -gt 0 ]] && echo "does not compile: $broken (fix those rows)"
echo "caught $caught of $((caught + missed))"
