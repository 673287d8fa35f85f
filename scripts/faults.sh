#!/usr/bin/env bash
# Applies the deliberate faults of tests/faults/faults.txt one at a time and
# checks that the suites named for each one catch it.
#
#   scripts/faults.sh                  every fault, the default preset's first
#   scripts/faults.sh ID...            the named faults only
#   scripts/faults.sh --preset default only the faults of one preset
#   scripts/faults.sh --check          only whether each fault still applies
#   scripts/faults.sh --list           the faults, without building anything
#
# For each fault the text is replaced in place (the file is found again by
# its text when it has moved), the programs of the named tests are rebuilt in
# the preset's build folder (with ccache: one file's compile and the
# relinks; everything when a test runs through an emulator or a fixture) and
# `ctest -R <tests>` runs.
# A failing run means the fault is caught. The file is put back after each
# fault and on any exit, so the tree is never left changed; the script
# refuses to finish quietly if it is.
#
# Before the faults of a preset, the same tests run on the unchanged tree:
# a suite that fails already would catch every fault and prove nothing.
#
# Exit status: 0 when every fault that applies is caught; 1 when one is not
# caught, does not build, or names no test; 2 on bad usage or a failing
# baseline.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

list_file="$root/tests/faults/faults.txt"
only_preset=""
mode=run
selected=()
while (($#)); do
  case "$1" in
    --preset) only_preset="${2:?--preset needs a name}"; shift 2 ;;
    --check) mode=check; shift ;;
    --list) mode=list; shift ;;
    --faults) list_file="$(realpath "${2:?--faults needs a file}")"; shift 2 ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "faults.sh: unknown option $1" >&2; exit 2 ;;
    *) selected+=("$1"); shift ;;
  esac
done

export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR=/work CCACHE_NOHASHDIR=1 WINEDEBUG=-all

# The fault list's reader and the text replacement: exact, literal, and the
# file found again by its text when the named one no longer holds it once.
helper() {
  python3 - "$@" <<'PY'
import os, subprocess, sys

def records(path):
    recs, cur = [], {}
    for raw in open(path, encoding="utf-8").read().split("\n"):
        if raw.startswith("#"):
            continue
        if raw.strip() == "":
            if cur:
                recs.append(cur)
            cur = {}
            continue
        key, sep, value = raw.partition(":")
        if not sep:
            sys.exit(f"faults.txt: not a 'key: value' line: {raw!r}")
        value = value[1:] if value.startswith(" ") else value
        if key.endswith("+"):
            base = key[:-1]
            if base not in cur:
                sys.exit(f"faults.txt: {key} before {base} in {cur.get('id')}")
            cur[base] += "\n" + value
        else:
            cur[key] = value
    if cur:
        recs.append(cur)
    for r in recs:
        for k in ("id", "breaks", "file", "find", "replace", "preset", "tests"):
            if k not in r:
                sys.exit(f"faults.txt: fault {r.get('id', '?')} has no {k}")
        if r["preset"] not in ("default", "windows"):
            sys.exit(f"faults.txt: fault {r['id']}: unknown preset {r['preset']}")
    ids = [r["id"] for r in recs]
    dup = {i for i in ids if ids.count(i) > 1}
    if dup:
        sys.exit(f"faults.txt: ids used twice: {sorted(dup)}")
    return recs

def tree_files():
    out = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                         capture_output=True, check=True).stdout.decode()
    return [f for f in out.split("\0") if f and os.path.isfile(f)]

def read(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except (UnicodeDecodeError, OSError):
        return None

def locate(r):
    """The one file that holds the find text exactly once, or an explanation."""
    text = read(r["file"]) if os.path.isfile(r["file"]) else None
    if text is not None and text.count(r["find"]) == 1:
        return r["file"], None
    hits = []
    for f in tree_files():
        if f.startswith("tests/faults/"):
            continue
        t = read(f)
        if t is not None and t.count(r["find"]) == 1:
            hits.append(f)
    if len(hits) > 1:
        same = [f for f in hits if os.path.basename(f) == os.path.basename(r["file"])]
        if len(same) == 1:
            hits = same
    if len(hits) == 1:
        return hits[0], None
    if not hits:
        if text is not None and text.count(r["find"]) > 1:
            return None, f"text found {text.count(r['find'])} times in {r['file']}"
        return None, "text not found"
    return None, "text found in " + ", ".join(hits)

cmd, path = sys.argv[1], sys.argv[2]
recs = records(path)
if cmd == "list":
    # id, preset, tests, breaks: one fault a line, tab-separated.
    for r in recs:
        print("\t".join((r["id"], r["preset"], r["tests"], r["breaks"])))
elif cmd == "locate":
    r = next((r for r in recs if r["id"] == sys.argv[3]), None)
    if r is None:
        sys.exit(f"no fault {sys.argv[3]}")
    where, why = locate(r)
    print(where if where else "!" + why)
elif cmd == "apply":
    r = next(r for r in recs if r["id"] == sys.argv[3])
    target = sys.argv[4]
    text = read(target)
    assert text is not None and text.count(r["find"]) == 1
    with open(target, "w", encoding="utf-8") as f:
        f.write(text.replace(r["find"], r["replace"], 1))
PY
}

faults=$(helper list "$list_file") || exit 2
declare -A preset_of tests_of
order=()
while IFS=$'\t' read -r id preset tests _; do
  [ -n "$id" ] || continue
  preset_of[$id]=$preset
  tests_of[$id]=$tests
  order+=("$id")
done <<<"$faults"
if ((${#selected[@]})); then
  for id in "${selected[@]}"; do
    [ -n "${preset_of[$id]:-}" ] || { echo "faults.sh: no fault '$id' in $list_file" >&2; exit 2; }
  done
  order=("${selected[@]}")
fi
# The default preset's faults first: they are the quick ones.
run_order=()
for p in default windows; do
  [ -z "$only_preset" ] || [ "$only_preset" = "$p" ] || continue
  for id in "${order[@]}"; do [ "${preset_of[$id]}" = "$p" ] && run_order+=("$id"); done
done

if [ "$mode" = list ]; then
  printf '%s\n' "$faults" | awk -F'\t' '{printf "%-34s %-8s %s\n", $1, $2, $4}'
  exit 0
fi

# The guaranteed restore: the faulted file's own bytes come back on every
# exit, and its time is now, so that the next build compiles it again.
state_before=$(git status --porcelain=v1 --untracked-files=no; git diff | sha1sum)
scratch=$(mktemp -d)
faulted=""
restore() {
  if [ -n "$faulted" ]; then
    cat "$scratch/original" >"$faulted"
    faulted=""
  fi
}
on_exit() {
  restore
  rm -rf "$scratch"
}
trap on_exit EXIT
trap 'exit 130' INT TERM HUP

declare -A result where
log_root="$root/build/faults"
mkdir -p "$log_root"

# The targets whose programs the tests of the pattern run: when every test
# (fixtures included) starts a program of the build folder that is a target
# of its own, those are built and nothing else; otherwise (an emulator, an
# install step, a script) everything is.
targets_for() {  # preset, pattern
  local dir="$root/build/$1"
  (cd "$dir" && ctest --show-only=json-v1 -R "$2" 2>/dev/null) |
    python3 -c '
import json, os, subprocess, sys
dir = sys.argv[1]
try:
    tests = json.load(sys.stdin)["tests"]
except Exception:
    sys.exit(0)
help = subprocess.run(["cmake", "--build", dir, "--target", "help"], capture_output=True,
                      text=True).stdout
known = {line[4:].split()[0] for line in help.splitlines() if line.startswith("... ")}
targets = set()
for t in tests:
    exe = (t.get("command") or [""])[0]
    name = os.path.basename(exe)
    if not exe.startswith(dir + "/") or name not in known:
        sys.exit(0)
    targets.add(name)
print(" ".join(sorted(targets)))' "$dir"
}

build() {  # preset, log[, pattern]
  local dir="$root/build/$1" targets=""
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    nice -n 19 cmake --preset "$1" >>"$2" 2>&1 || return 1
  fi
  [ -z "${3:-}" ] || targets=$(targets_for "$1" "$3")
  if [ -n "$targets" ]; then
    echo "-- building only: $targets" >>"$2"
    # shellcheck disable=SC2086
    nice -n 19 cmake --build --preset "$1" --target $targets >>"$2" 2>&1
  else
    nice -n 19 cmake --build --preset "$1" >>"$2" 2>&1
  fi
}

run_tests() {  # preset, pattern, log
  (cd "$root/build/$1" &&
    nice -n 19 ctest -R "$2" --no-tests=error --timeout 300 -j 2 --output-on-failure >>"$3" 2>&1)
}

baseline_done=""
baseline() {  # preset: the tests of its faults pass on the unchanged tree
  local p=$1 pattern="" id log="$log_root/baseline-$1.log"
  for id in "${run_order[@]}"; do
    [ "${preset_of[$id]}" = "$p" ] && pattern="${pattern:+$pattern|}${tests_of[$id]}"
  done
  : >"$log"
  echo "== baseline ($p preset): build and run the faults' tests on the unchanged tree"
  if ! build "$p" "$log"; then
    echo "faults.sh: the unchanged tree does not build ($p preset); see $log" >&2
    exit 2
  fi
  if ! run_tests "$p" "$pattern" "$log"; then
    echo "faults.sh: the named tests fail on the unchanged tree ($p preset); see $log" >&2
    grep -E "^\s+[0-9]+ - " "$log" >&2
    exit 2
  fi
  baseline_done="$baseline_done $p"
}

for id in "${run_order[@]}"; do
  preset=${preset_of[$id]}
  file=$(helper locate "$list_file" "$id")
  if [[ "$file" == !* ]]; then
    result[$id]="n/a"
    where[$id]="${file#!}"
    echo "== $id: not applicable (${file#!})"
    continue
  fi
  where[$id]=$file
  if [ "$mode" = check ]; then
    result[$id]="applies"
    continue
  fi
  [[ " $baseline_done " == *" $preset "* ]] || baseline "$preset"
  log="$log_root/$id.log"
  : >"$log"
  echo "== $id ($preset): $file"
  cp "$file" "$scratch/original"
  faulted=$file
  helper apply "$list_file" "$id" "$file"
  git diff --no-color -- "$file" >>"$log"
  if ! build "$preset" "$log" "${tests_of[$id]}"; then
    result[$id]="BUILD FAILED"
  elif run_tests "$preset" "${tests_of[$id]}" "$log"; then
    result[$id]="NOT CAUGHT"
  elif grep -q "No tests were found" "$log"; then
    result[$id]="NO TESTS"
  else
    result[$id]="caught"
    where[$id]="$file: $(grep -E '^\s+[0-9]+ - ' "$log" | sed -E 's/^\s+[0-9]+ - ([^ ]+).*/\1/' |
      head -3 | paste -sd' ' -)"
  fi
  restore
  echo "   ${result[$id]}"
done

# Back to a build of the unchanged tree, so that nothing built stays faulty.
if [ "$mode" = run ]; then
  for p in $baseline_done; do build "$p" "$log_root/restore-$p.log" || true; done
fi

state_after=$(git status --porcelain=v1 --untracked-files=no; git diff | sha1sum)
if [ "$state_before" != "$state_after" ]; then
  echo "faults.sh: the work tree differs from before the run; see git status" >&2
  exit 2
fi

echo
printf '%-34s %-8s %-13s %s\n' FAULT PRESET RESULT "FILE: FIRST TESTS THAT FAILED (or why)"
status=0
declare -A count
for id in "${run_order[@]}"; do
  r=${result[$id]}
  count[$r]=$((${count[$r]:-0} + 1))
  printf '%-34s %-8s %-13s %s\n' "$id" "${preset_of[$id]}" "$r" "${where[$id]}"
  case "$r" in "NOT CAUGHT"|"BUILD FAILED"|"NO TESTS") status=1 ;; esac
done
echo
total=${#run_order[@]}
na=${count[n/a]:-0}
if [ "$mode" = check ]; then
  echo "$total faults: $((total - na)) apply, $na not applicable"
else
  echo "$total faults: $((total - na)) apply, ${count[caught]:-0} caught," \
    "${count[NOT CAUGHT]:-0} not caught, ${count[BUILD FAILED]:-0} do not build," \
    "${count[NO TESTS]:-0} name no test, $na not applicable"
fi
exit $status
