#!/usr/bin/env bash
# Runs one end-to-end case: a folder holding the inputs, a file `cmd` with
# the command line, `expected.screen` (standard output), optionally
# `status` (exit status, default 0) and `expected/` (every file the run
# must leave besides its inputs, with its exact content).
#
# In `cmd`, the first word is kinex or kinex-par, optionally preceded by
# np=N to start kinex-par under mpirun with N processes; the program runs
# as ./kinex or ./kinex-par.  The start and end
# time lines of results files and the seconds column of the joint-EM screen
# table are masked before comparing.
#
# usage: runcase.sh <kinex> <kinex-par> <case folder>
set -u
kinex=$1
kinexpar=$2
case=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -r "$case"/. "$work"/
rm -rf "$work/expected" "$work/expected.screen" "$work/status" "$work/cmd"
cd "$work"
inputs=$(find . -type f | sort)
before=$(find . -type f -print0 | sort -z | xargs -0 sha256sum)

read -r -a words < "$case/cmd"
np=""
if [[ "${words[0]}" == np=* ]]; then
  np=${words[0]#np=}
  words=("${words[@]:1}")
fi
prog=${words[0]}
args=("${words[@]:1}")
case "$prog" in
  kinex) ln -s "$kinex" kinex ;;
  kinex-par) ln -s "$kinexpar" kinex-par ;;
  *) echo "unknown program $prog"; exit 2 ;;
esac
# run through a link in the case folder, so the recorded command line
# reads ./kinex whatever the build folder
exe=./$prog

if [ -n "$np" ]; then
  timeout 120 mpirun --allow-run-as-root --oversubscribe -np "$np" "$exe" "${args[@]}" > screen.txt 2> stderr.txt
else
  timeout 120 "$exe" "${args[@]}" > screen.txt 2> stderr.txt
fi
status=$?
want=0
[ -f "$case/status" ] && want=$(cat "$case/status")

mask() {
  sed -E -e 's/^(Run (started |finished) date = ).*$/\1<masked>/' \
         -e 's/^( +[0-9]+ +[0-9]+ +[-0-9.E+]+ +)[0-9]+$/\1<s>/' "$1"
}

fail=0
if [ "$status" != "$want" ]; then
  echo "exit status $status, expected $want"; fail=1
fi
if ! diff <(mask "$case/expected.screen") <(mask screen.txt) > diff.txt; then
  echo "screen output differs (< expected, > actual):"; cat -A diff.txt | head -40; fail=1
fi
after=$(find . -type f ! -name screen.txt ! -name stderr.txt ! -name diff.txt -print0 | sort -z | xargs -0 sha256sum)
for f in $inputs; do
  grep -q " $f\$" <<< "$after" || { echo "input $f was removed"; fail=1; }
done
if [ "$(grep -F -f <(echo "$inputs" | sed 's/^/ /') <<< "$after")" != "$before" ]; then
  echo "an input file was modified"; fail=1
fi
made=$(find . -type f ! -name screen.txt ! -name stderr.txt ! -name diff.txt | sort | grep -v -x -F -f <(echo "$inputs") || true)
expectedfiles=""
[ -d "$case/expected" ] && expectedfiles=$(cd "$case/expected" && find . -type f | sort)
if [ "$made" != "$expectedfiles" ]; then
  echo "files left by the run: [$made], expected: [$expectedfiles]"; fail=1
fi
for f in $expectedfiles; do
  [ -f "$f" ] || continue
  if ! diff <(mask "$case/expected/$f") <(mask "$f") > diff.txt; then
    echo "$f differs (< expected, > actual):"; cat -A diff.txt | head -40; fail=1
  fi
done
if [ $fail -ne 0 ]; then
  echo "--- stderr:"; head -20 stderr.txt
fi
exit $fail
