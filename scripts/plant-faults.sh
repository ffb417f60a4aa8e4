#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Plants the single-point faults of scripts/faults.txt one at a time, rebuilds,
# runs the fast test tiers and records whether some test caught the fault;
# the source file is restored after each fault, and on Ctrl-C or any exit.
#
# Usage: scripts/plant-faults.sh [options] [BUILD_DIR] [ID...]
#   BUILD_DIR       a configured build tree (default: build/ at the top)
#   ID...           only these faults (default: every fault in the list)
#   --check         only check that every snippet occurs exactly once in src/
#   --compare OLD   run the faults OLD has as CAUGHT (or the IDs given), then
#                   exit 1 if any of them is not CAUGHT now, e.g. after a cut:
#                   scripts/plant-faults.sh --compare scripts/faults-before.txt
#   --table NEW     with --compare: compare the saved table NEW, run nothing
#   --list FILE     another fault list (default: scripts/faults.txt)
#   --no-baseline   skip the clean run that shows the suite passes unplanted
#
# Each line of the list is "ID | what the player would see | original | replacement",
# fields separated by " | "; '#' starts a comment line. The original snippet
# must occur exactly once in all of src/: the script finds the file itself,
# so the list survives files being renamed or moved. A snippet found zero or
# several times is reported as NOTFOUND.
#
# Only the fast tiers run: ctest labels unit, audio, gl and golden, under
# Xvfb with SDL's dummy audio driver. The e2e and soak tiers take minutes a
# run, far too slow to repeat for every fault; a fault only they would
# catch shows here as MISSED. CTest stops at the first failing test.
#
# Results: CAUGHT (a test failed; the first one is named), MISSED (every test
# passed), BROKEN (the fault does not build), NOTFOUND (see above), ERROR
# (the test run failed without naming a failing test, twice).
# The table "ID result first-failing-test seconds" and the summary go to
# stdout; progress goes to stderr; logs, and the rows so far of a run that
# gets killed (table.partial), stay under BUILD_DIR/plant-faults/.
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
list="$root/scripts/faults.txt"
build=""
compare=""
table=""
check=0
baseline=1
ids=()

die() { echo "plant-faults: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
  case "$1" in
    --check) check=1 ;;
    --compare) compare="${2:?--compare needs a table}"; shift ;;
    --table) table="${2:?--table needs a table}"; shift ;;
    --list) list="${2:?--list needs a file}"; shift ;;
    --no-baseline) baseline=0 ;;
    -h|--help) sed -n '2,30p' "$0"; exit 0 ;;
    -*) die "unknown option $1" ;;
    *)
      if [ -z "$build" ] && [ ${#ids[@]} -eq 0 ] && [ -f "$1/CMakeCache.txt" ]; then
        build="$(cd "$1" && pwd)"
      else
        ids+=("$1")
      fi ;;
  esac
  shift
done
build="${build:-$root/build}"
[ -f "$list" ] || die "no fault list $list"
[ -n "$table" ] && [ -z "$compare" ] && die "--table only goes with --compare"

# ---- the fault list --------------------------------------------------------
f_id=() f_what=() f_orig=() f_repl=()
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in ''|'#'*) continue ;; esac
  id="${line%% | *}"; rest="${line#* | }"
  what="${rest%% | *}"; rest="${rest#* | }"
  orig="${rest%% | *}"; repl="${rest#* | }"
  if [ "$id" = "$line" ] || [ "$orig" = "$rest" ] || [ -z "$orig" ] || [[ "$repl" == *" | "* ]]; then
    die "not 4 fields: $line"
  fi
  for known in "${f_id[@]}"; do [ "$known" = "$id" ] && die "fault $id listed twice"; done
  f_id+=("$id"); f_what+=("$what"); f_orig+=("$orig"); f_repl+=("$repl")
done <"$list"

selected=()
if [ ${#ids[@]} -eq 0 ] && [ -n "$compare" ] && [ -z "$table" ]; then
  # Comparing without IDs: only the faults caught before need to run.
  [ -f "$compare" ] || die "no table $compare"
  before=" $(awk '$2 == "CAUGHT" { printf "%s ", $1 }' "$compare")"
  for i in "${!f_id[@]}"; do
    [[ "$before" == *" ${f_id[$i]} "* ]] && selected+=("$i")
  done
elif [ ${#ids[@]} -eq 0 ]; then
  selected=("${!f_id[@]}")
else
  for want in "${ids[@]}"; do
    found=""
    for i in "${!f_id[@]}"; do [ "${f_id[$i]}" = "$want" ] && found=$i; done
    [ -n "$found" ] || die "no fault $want in $list"
    selected+=("$found")
  done
fi

# ---- text helpers (exact, byte for byte) -----------------------------------
# Prints "COUNT FILE": how often the snippet occurs in all of src/, and where.
locate() {
  SNIP="$1" python3 - "$root/src" <<'EOF'
import os, pathlib, sys
snip = os.environ["SNIP"]
hits = []
for p in sorted(pathlib.Path(sys.argv[1]).rglob("*")):
    if p.is_file():
        try:
            with open(p, encoding="utf-8", newline="") as fh:
                text = fh.read()
        except UnicodeDecodeError:
            continue
        hits += [str(p)] * text.count(snip)
print(len(hits), hits[0] if hits else "-")
EOF
}

replace_once() { # FILE SNIPPET REPLACEMENT
  FILE="$1" SNIP="$2" REPL="$3" python3 - <<'EOF'
import os, sys
f, s, r = os.environ["FILE"], os.environ["SNIP"], os.environ["REPL"]
with open(f, encoding="utf-8", newline="") as fh:
    text = fh.read()
if text.count(s) != 1:
    sys.exit(1)
with open(f, "w", encoding="utf-8", newline="") as fh:
    fh.write(text.replace(s, r))
EOF
}

# ---- comparing two tables ---------------------------------------------------
# Reads "ID RESULT ..." rows; other lines (the summary) are skipped.
read_table() {
  awk '$2 ~ /^(CAUGHT|MISSED|BROKEN|NOTFOUND|ERROR)$/ { print $1, $2 }' "$1"
}

compare_tables() { # OLD NEW
  local old="$1" new="$2" bad=0 id res now
  [ -f "$old" ] || die "no table $old"
  declare -A newres=()
  while read -r id res; do newres[$id]=$res; done < <(read_table "$new")
  declare -A only=()
  for i in "${selected[@]}"; do only[${f_id[$i]}]=1; done
  local checked=0
  while read -r id res; do
    [ "$res" = CAUGHT ] || continue
    # With IDs given, only those are compared.
    if [ ${#ids[@]} -gt 0 ] && [ -z "${only[$id]:-}" ]; then continue; fi
    checked=$((checked + 1))
    now="${newres[$id]:-ABSENT}"
    if [ "$now" != CAUGHT ]; then
      echo "REGRESSION $id: caught before, now $now" >&2
      bad=1
    fi
  done < <(read_table "$old")
  while read -r id res; do
    [ "$res" = CAUGHT ] || continue
    local was
    was="$(read_table "$old" | awk -v id="$id" '$1 == id { print $2 }')"
    [ "$was" != CAUGHT ] && echo "gained $id: ${was:-new} before, now CAUGHT" >&2
  done < <(read_table "$new")
  [ "$checked" -gt 0 ] || die "$old has no CAUGHT fault to compare"
  if [ "$bad" -eq 0 ]; then
    echo "compare: all $checked faults caught in $old are still caught" >&2
    return 0
  fi
  echo "compare: some faults caught in $old are no longer caught" >&2
  return 1
}

if [ -n "$table" ]; then
  [ -f "$table" ] || die "no table $table"
  compare_tables "$compare" "$table"
  exit $?
fi

# ---- --check -----------------------------------------------------------------
if [ "$check" -eq 1 ]; then
  bad=0
  for i in "${selected[@]}"; do
    read -r count file < <(locate "${f_orig[$i]}")
    [ "${count:-0}" = 1 ] || bad=1
    printf '%-28s %s %s\n' "${f_id[$i]}" "$count" "${file#"$root"/}"
  done
  echo "${#selected[@]} faults checked" >&2
  exit $bad
fi

# ---- the run -------------------------------------------------------------------
[ -f "$build/CMakeCache.txt" ] || die "$build is not a configured build tree"
command -v xvfb-run >/dev/null || die "xvfb-run is missing"
logs="$build/plant-faults"
mkdir -p "$logs"
backup="$(mktemp)"
planted=""

restore() {
  if [ -n "$planted" ]; then
    # A fresh write (new mtime): the next build recompiles the file.
    cat "$backup" >"$planted"
    cmp -s "$backup" "$planted" || echo "plant-faults: could not restore $planted from $backup" >&2
    planted=""
  fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'echo "plant-faults: interrupted, source restored" >&2; exit 130' INT TERM HUP

build_tree() { cmake --build "$build" -j2 >"$1" 2>&1; }

# Runs the fast tiers; sets run_result (PASSED, FAILED or ERROR) and run_first.
run_tests() {
  local log="$1" try rc
  for try in 1 2; do
    SDL_AUDIODRIVER=dummy xvfb-run -a -s "-noreset -screen 0 1280x1024x24" \
      ctest --test-dir "$build" -j2 -L 'unit|audio|gl|golden' --timeout 120 \
      --stop-on-failure --no-tests=error >"$log" 2>&1
    rc=$?
    # A test that skips itself (no uinput here, say) is neither a catch nor a pass.
    run_first="$(grep -E 'Test +#[0-9]+: .*\*\*\*' "$log" | grep -v -m1 '\*\*\*Skipped' |
      sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/')"
    if [ -n "$run_first" ]; then
      run_result=FAILED
      return
    fi
    if [ "$rc" -eq 0 ] && grep -qE '100% tests passed, 0 tests failed out of [1-9]' "$log"; then
      run_result=PASSED
      run_first="-"
      return
    fi
  done
  run_result=ERROR
  run_first="-"
}

start_all=$SECONDS
if [ "$baseline" -eq 1 ]; then
  echo "baseline: building and running the fast tiers unplanted" >&2
  build_tree "$logs/baseline.build.log" || die "the unplanted tree does not build: $logs/baseline.build.log"
  run_tests "$logs/baseline.test.log"
  [ "$run_result" = PASSED ] ||
    die "the fast tiers fail unplanted ($run_first): $logs/baseline.test.log"
  echo "baseline: passed in $((SECONDS - start_all)) s" >&2
fi

rows=()
: >"$logs/table.partial" # the rows so far, for a run that gets killed
caught=0 missed=0 broken=0 notfound=0 errors=0
n=0
for i in "${selected[@]}"; do
  n=$((n + 1))
  id="${f_id[$i]}"
  t0=$SECONDS
  read -r count file < <(locate "${f_orig[$i]}")
  if [ "${count:-0}" != 1 ]; then
    result=NOTFOUND first="-"
    notfound=$((notfound + 1))
    echo "[$n/${#selected[@]}] $id: snippet found $count times in src/" >&2
  else
    cp "$file" "$backup"
    planted="$file"
    replace_once "$file" "${f_orig[$i]}" "${f_repl[$i]}" || die "could not plant $id in $file"
    tb=$SECONDS
    if ! build_tree "$logs/$id.build.log"; then
      result=BROKEN first="-"
      broken=$((broken + 1))
      tb=$((SECONDS - tb)) tt=0
    else
      tb=$((SECONDS - tb)) tt=$SECONDS
      run_tests "$logs/$id.test.log"
      tt=$((SECONDS - tt))
      case "$run_result" in
        FAILED) result=CAUGHT first="$run_first"; caught=$((caught + 1)) ;;
        PASSED) result=MISSED first="-"; missed=$((missed + 1)) ;;
        *) result=ERROR first="-"; errors=$((errors + 1)) ;;
      esac
    fi
    restore
    echo "[$n/${#selected[@]}] $id ($(basename "$file")): $result $first," \
      "$((SECONDS - t0)) s (build $tb s, tests $tt s)" >&2
  fi
  rows+=("$(printf '%-28s %-8s %-60s %4d' "$id" "$result" "$first" "$((SECONDS - t0))")")
  printf '%s\n' "${rows[-1]}" >>"$logs/table.partial"
done

echo "rebuilding the restored tree" >&2
build_tree "$logs/final.build.log" || echo "plant-faults: the restored tree does not build: $logs/final.build.log" >&2

{
  printf '%-28s %-8s %-60s %4s\n' "# ID" "result" "first-failing-test" "s"
  printf '%s\n' "${rows[@]}"
  echo "$caught caught, $missed missed, $broken broken"
  [ $((notfound + errors)) -eq 0 ] || echo "$notfound not found, $errors errors"
  echo "total $((SECONDS - start_all)) s"
} | tee "$logs/table.txt"

if [ -n "$compare" ]; then
  compare_tables "$compare" "$logs/table.txt"
  exit $?
fi
exit 0
