#!/usr/bin/env bash
# Package stage: builds the Debian package of zelvo (scripts/package.sh deb), unpacks it into a
# throw-away root and checks the installed tool there: its version is the package's, it lists
# the sample image with the code file from share/zelvo (none beside it), it needs no C++ runtime,
# and its manual page and bash completion load without a warning and know every command.
#
# Environment: PACKAGE_SAMPLE (default build/test/sample/sample.d88, written by the test build).
set -uo pipefail
cd "$(dirname "$0")/../.."
sample=${PACKAGE_SAMPLE:-build/test/sample/sample.d88}

# The build's and CPack's own messages are kept: a failure shows them.
packlog=$(mktemp "${TMPDIR:-/tmp}/zelvo-package-log-XXXXXX")
if ! scripts/package.sh deb >"$packlog" 2>&1; then
  echo "package: scripts/package.sh deb failed:"
  tail -40 "$packlog"
  rm -f "$packlog"
  exit 1
fi
deb=$(tail -1 "$packlog")
rm -f "$packlog"
root=$(mktemp -d "${TMPDIR:-/tmp}/zelvo-package-XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || exit 1
zelvo="$root/usr/bin/zelvo"

failed=0
fail() {
  echo "package: $*"
  failed=1
}

version=$(dpkg-deb -f "$deb" Version)
[ "$("$zelvo" --version)" = "zelvo $version" ] || fail "zelvo --version says '$("$zelvo" --version)', the package is $version"
dpkg-deb -f "$deb" Depends | grep -q '^libc6' || fail "Depends is '$(dpkg-deb -f "$deb" Depends)'"
if readelf -d "$zelvo" | grep -q 'NEEDED.*libstdc++'; then fail "zelvo needs the shared C++ runtime"; fi
[ -e "$root/usr/bin/CodeChg.txt" ] && fail "a code file beside the installed zelvo"

if [ -f "$sample" ]; then
  cp "$sample" "$root/sample.d88"
  if out=$(cd "$root" && usr/bin/zelvo ls sample.d88 2>&1); then
    echo "$out" | grep -q 'ＤＥＭＯ' || fail "zelvo ls shows no DEMO through the code tables: $out"
  else
    fail "zelvo ls on the sample failed: $out"
  fi
  cmp -s "$sample" "$root/sample.d88" || fail "zelvo ls changed the sample"
else
  fail "no sample image at $sample (built by the test build)"
fi

page="$root/usr/share/man/man1/zelvo.1"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$root/page.txt") \
  || fail "man -l failed: $warnings"
[ -z "$warnings" ] || fail "man -l warns: $warnings"
for heading in COMMANDS OPTIONS 'EXIT STATUS' EXAMPLES; do
  grep -q "^$heading" "$root/page.txt" || fail "the manual page lacks $heading"
done
# Every command of the installed tool (as its --help lists them) has its block in the manual page
# and is offered by the bash completion.
commands=$("$zelvo" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }' | tr '\n' ' ')
[[ " $commands " == *" ls "* ]] || fail "zelvo --help lists no commands: '$commands'"
for command in $commands; do
  grep -Eq "^   zelvo +$command( |$)" "$root/page.txt" || fail "the manual page lacks zelvo $command"
done

completion="$root/usr/share/bash-completion/completions/zelvo"
if [ -f /usr/share/bash-completion/bash_completion ]; then
  bash -c "source /usr/share/bash-completion/bash_completion && source '$completion' && complete -p zelvo" \
    >/dev/null 2>&1 || fail "the bash completion does not load"
  offered=$(bash -c "source /usr/share/bash-completion/bash_completion && source '$completion' &&
    COMP_WORDS=(zelvo ''); COMP_CWORD=1; COMP_LINE='zelvo '; COMP_POINT=6;
    _zelvo zelvo '' zelvo; echo \"\${COMPREPLY[*]}\"" 2>&1)
  for command in $commands; do
    [[ " $offered " == *" $command "* ]] || fail "the bash completion does not offer zelvo $command"
  done
else
  bash -n "$completion" || fail "the bash completion has a syntax error"
fi

[ "$failed" = 0 ] && echo "package: $(basename "$deb") installs and runs"
exit "$failed"
