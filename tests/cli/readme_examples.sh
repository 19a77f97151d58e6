#!/bin/bash
# Runs the README's "Examples" block in order in a scratch folder holding the sample image, so
# that the examples stay true. A line marked "(exit 1)" must exit 1, every other line 0.
# Usage: readme_examples.sh ZELVO SAMPLE_DIR README
set -u
zelvo=$(realpath "$1") sample=$(realpath "$2") readme=$(realpath "$3")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$sample/sample.d88" "$sample/hello.txt" "$scratch/"
cd "$scratch" || exit 1
failed=0 ran=0
while IFS= read -r line; do
  case "$line" in '' | 'cd '*) continue ;; esac
  want=0
  [[ $line == *'(exit 1)'* ]] && want=1
  command=${line//..\/bin\/zelvo/\"\$zelvo\"}
  eval "$command" >/dev/null 2>"$scratch/.err"
  got=$?
  ran=$((ran + 1))
  if [ "$got" -ne "$want" ]; then
    echo "FAILED (exit $got, expected $want): $line"
    sed 's/^/  /' "$scratch/.err"
    failed=$((failed + 1))
  fi
done < <(awk '/^### Examples/ { block = 1 } block && /^```sh/ { inside = 1; next }
               inside && /^```/ { exit } inside { print }' "$readme")
[ "$ran" -gt 0 ] || { echo "no example found in $readme"; exit 1; }
echo "$((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
