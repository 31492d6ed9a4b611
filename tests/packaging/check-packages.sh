#!/usr/bin/env bash
# The Debian packages as a Debian developer and a user meet them (docs/packages.md): the packages
# dpkg-buildpackage made into BUILD_DIR/packages (./run package, ./run test), judged by lintian,
# hardening-check, desktop-file-validate and appstream-util, unpacked and checked, and, as root,
# installed for real, tried from /usr/bin and purged again.
#
#   check-packages.sh BUILD_DIR SOURCE_DIR
#
# Exit 0 when every check passes, 1 when any fails, 77 (skipped) when the packages or a tool are
# missing.
set -uo pipefail
build=$1
source=$2

skip() {
  echo "skipped: $*"
  exit 77
}
for tool in dpkg-deb lintian hardening-check desktop-file-validate appstream-util groff; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (./run test installs it)"
done
completion=/usr/share/bash-completion/bash_completion
[ -f "$completion" ] || skip "bash-completion is not installed (./run test installs it)"
packages=$build/packages
ls "$packages"/quillon_*.deb >/dev/null 2>&1 || skip "no packages in $packages (./run package makes them)"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-packages.XXXXXX")
installed=()
cleanup() {
  ((${#installed[@]})) && dpkg --purge "${installed[@]}" >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# What each package holds, nothing more (directories aside; dpkg's own changelog and copyright
# are looked for separately).
declare -A expected
expected[quillon]="usr/bin/quillon
usr/bin/quillon-launcher
usr/lib/quillon/quillon
usr/lib/quillon/quillon-launcher
usr/share/applications/quillon.desktop
usr/share/icons/hicolor/scalable/apps/quillon.svg
usr/share/man/man1/quillon-launcher.1.gz
usr/share/man/man1/quillon.1.gz
usr/share/metainfo/com.velmarsoft.quillon.metainfo.xml
usr/share/lintian/overrides/quillon
usr/share/polkit-1/actions/com.velmarsoft.quillon.policy"
expected[quillon-cli]="usr/bin/quillon-cli
usr/share/bash-completion/completions/quillon-cli
usr/share/fish/vendor_completions.d/quillon-cli.fish
usr/share/lintian/overrides/quillon-cli
usr/share/man/man1/quillon-cli.1.gz
usr/share/zsh/vendor-completions/_quillon-cli"
expected[quillon-dist]="usr/bin/quillon-dist
usr/share/bash-completion/completions/quillon-dist
usr/share/fish/vendor_completions.d/quillon-dist.fish
usr/share/lintian/overrides/quillon-dist
usr/share/man/man1/quillon-dist.1.gz
usr/share/zsh/vendor-completions/_quillon-dist"
expected[quillon-data]="usr/share/lintian/overrides/quillon-data
usr/share/quillon/quillonResENU.qm"

root=$scratch/root
mkdir -p "$root"
declare -A deb
for package in quillon quillon-cli quillon-dist quillon-data; do
  deb[$package]=$(ls "$packages/${package}"_*.deb 2>/dev/null | head -n 1)
  if [ -z "${deb[$package]}" ]; then
    fail "no package $package"
    continue
  fi
  own=$scratch/only-$package
  dpkg -x "${deb[$package]}" "$own"
  held=$(cd "$own" && find . ! -type d | sed 's|^\./||' | grep -v "^usr/share/doc/$package/" | LC_ALL=C sort)
  if [ "$held" != "$(LC_ALL=C sort <<<"${expected[$package]}")" ]; then
    fail "$package holds"
    diff <(LC_ALL=C sort <<<"${expected[$package]}") <(echo "$held")
  fi
  for doc in copyright changelog.Debian.gz; do
    [ -f "$own/usr/share/doc/$package/$doc" ] || fail "$package has no /usr/share/doc/$package/$doc"
  done
  dpkg -x "${deb[$package]}" "$root"
done
[ "$(ls "$packages"/*.deb | wc -l)" -eq 4 ] || fail "other packages were made: $(ls "$packages")"
[ "$(dpkg-deb -f "${deb[quillon-data]}" Architecture)" = all ] || fail "quillon-data is not Architecture: all"
for package in quillon quillon-cli; do
  [[ $(dpkg-deb -f "${deb[$package]}" Depends) == *quillon-data* ]] || fail "$package does not depend on quillon-data"
done
[[ $(dpkg-deb -f "${deb[quillon]}" Recommends) == *qt6-translations-l10n* ]] || fail "quillon does not recommend Qt's translations"

# lintian: no error, no warning (informational tags are overridden only with a reason, in
# debian/*.lintian-overrides).
lintian --tag-display-limit 0 --display-info "$packages"/*.deb >"$scratch/lintian" 2>&1
if grep -E '^[EW]: ' "$scratch/lintian"; then
  fail "lintian reports errors or warnings"
fi
grep -E '^I: ' "$scratch/lintian" | sed 's/^/lintian: /'

# Every program carries Debian's hardening: PIE, stack protector, fortify, RELRO and BIND_NOW.
# Control-flow protection is built in (-fcf-protection) but cannot be marked on Debian 12: its C
# library's start files carry no CET note, so no program linked there has one (a plain
# "int main" shows the same); hardening-check is told not to ask for it.
for program in usr/lib/quillon/quillon usr/lib/quillon/quillon-launcher usr/bin/quillon-cli usr/bin/quillon-dist; do
  out=$(hardening-check --nocfprotection "$root/$program" 2>&1) || fail "hardening-check $program: $out"
done

# Links are relative and end at a program inside the root.
for link in quillon quillon-launcher; do
  path=$root/usr/bin/$link
  [ -L "$path" ] || { fail "usr/bin/$link is not a symbolic link"; continue; }
  case $(readlink "$path") in /*) fail "usr/bin/$link points outside the root: $(readlink "$path")" ;; esac
  real=$(readlink -f "$path")
  [[ $real == "$root/usr/lib/quillon/"* && -f $real && -x $real ]] || fail "usr/bin/$link resolves to $real"
done

# Desktop entry, AppStream data, polkit action.
desktop=$root/usr/share/applications/quillon.desktop
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
[ "$(sed -n 's/^Exec=//p' "$desktop")" = "quillon --pkexec" ] || fail "the desktop entry does not start quillon --pkexec"
metainfo=$root/usr/share/metainfo/com.velmarsoft.quillon.metainfo.xml
out=$(appstream-util validate --nonet "$metainfo" 2>&1) || fail "appstream-util validate: $out"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] || fail "the metainfo launches '$launchable'"
policy=$root/usr/share/polkit-1/actions/com.velmarsoft.quillon.policy
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/lib/quillon/quillon</annotate>' "$policy" ||
  fail "the polkit action does not name /usr/lib/quillon/quillon"

# Manual pages render without warnings: the packaged ones, and kaldo-product's from the sources.
for page in "$root"/usr/share/man/man1/*.1.gz "$source/docs/man/kaldo-product.1"; do
  if [[ $page == *.gz ]]; then text=$(zcat "$page"); else text=$(cat "$page"); fi
  warnings=$(groff -man -Tutf8 -ww -z <<<"$text" 2>&1) || fail "groff failed on $page"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  grep -q '^\.TH [^ ]* 1 "[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]"' <<<"$text" || fail "$(basename "$page") has no date in .TH"
done

# Completion offers every command and option the usage texts name.
usage() { "$root/$1" --help; }
complete_words() { # complete_words FILE FUNCTION WORD...: the completions of the last word
  bash -c 'source "$1"; source "$2"; fn=$3; shift 3
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    COMPREPLY=(); "$fn"; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}
offers() { # offers WANTED FILE FUNCTION WORD...
  local wanted=$1 offered
  shift
  offered=$(complete_words "$@") # not piped into grep -q: its early exit would fail the pipeline
  grep -qx -- "$wanted" <<<"$offered" || fail "completion of '${*:3}' lacks $wanted"
}
cli_completion=$root/usr/share/bash-completion/completions/quillon-cli
while read -r command rest; do
  offers "$command" "$cli_completion" _quillon_cli quillon-cli ""
  for option in $(grep -o -- '--[a-z-]*' <<<"$rest"); do
    offers "$option" "$cli_completion" _quillon_cli quillon-cli "$command" --
  done
done < <(usage usr/bin/quillon-cli | sed -n 's/^ *\(usage: \)\?quillon-cli \([a-z]\)/\2/p')
dist_completion=$root/usr/share/bash-completion/completions/quillon-dist
while read -r line; do
  read -r -a words <<<"$(grep -o '^[a-z]\+\( [a-z]\+\)\?' <<<"$line")"
  offers "${words[0]}" "$dist_completion" _quillon_dist quillon-dist ""
  ((${#words[@]} == 2)) && offers "${words[1]}" "$dist_completion" _quillon_dist quillon-dist "${words[0]}" ""
  for option in $(grep -o -- '--[a-z-]*' <<<"$line"); do
    offers "$option" "$dist_completion" _quillon_dist quillon-dist "${words[@]}" --
  done
done < <(usage usr/bin/quillon-dist | sed -n 's/^  \([a-z]\)/\1/p')

# As root: installed for real, the programs tried from /usr/bin as a user would, then purged.
# Packages of these names installed before are left alone.
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the packages were not installed (the run as root installs them)"
elif dpkg-query -W quillon quillon-cli quillon-dist quillon-data >/dev/null 2>&1; then
  echo "packages of these names are installed already: not installed again"
else
  installed=(quillon quillon-cli quillon-dist quillon-data)
  if ! out=$(dpkg -i "${deb[@]}" 2>&1); then
    fail "dpkg -i: $out"
  else
    export XDG_RUNTIME_DIR=$scratch/run XDG_CACHE_HOME=$scratch/cache TMPDIR=$scratch/tmp QT_QPA_PLATFORM=offscreen
    export QUILLON_AUTO_ANSWER=default QUILLON_REGISTRY=$scratch/registry.reg
    unset DBUS_SESSION_BUS_ADDRESS
    mkdir -m 0700 -p "$XDG_RUNTIME_DIR" "$XDG_CACHE_HOME" "$TMPDIR"
    quillon-launcher 2>"$scratch/err"
    code=$?
    [ "$code" -eq 255 ] && grep -q '^quillon-launcher: nothing started: ' "$scratch/err" ||
      fail "quillon-launcher without a registered installer: exit $code, $(cat "$scratch/err")"
    # A machine without a product whose interface language is English: the programs find the
    # English catalogue in /usr/share/quillon and say so in English.
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\KLDO9]' '"KldoLangID"=dword:00000409' '' \
      '[HKEY_LOCAL_MACHINE\Software\Velmar Soft\KLDO9\Apps]' '"Morvel"="/nonexistent/quillon"' >"$QUILLON_REGISTRY"
    english='^message 1035: [ -~]*$' # ASCII only: not the built-in Russian text
    mkdir -p "$scratch/empty"
    out=$(quillon-cli list "$scratch/empty" 2>&1)
    LC_ALL=C grep -q "$english" <<<"$out" || fail "quillon-cli does not speak English: $out"
    out=$(quillon 2>&1)
    code=$?
    [ "$code" -eq 1 ] && LC_ALL=C grep -q "$english" <<<"$out" || fail "quillon without a product: exit $code, $out"
    # The launcher starts the quillon beside its real file, not the registered path.
    quillon-launcher 2>/dev/null
    code=$?
    [ "$code" -eq 0 ] || fail "quillon-launcher did not start the quillon beside it: exit $code"
    for _ in $(seq 100); do # the started quillon ends at once (no product); wait for it
      pgrep -f '^/usr/lib/quillon/quillon$' >/dev/null || break
      sleep 0.1
    done
    man -w quillon-cli >/dev/null 2>&1 || fail "man does not find quillon-cli(1)"
    if out=$(dpkg --purge "${installed[@]}" 2>&1); then
      installed=()
      left=$(ls -d /usr/lib/quillon /usr/share/quillon 2>/dev/null)
      [ -z "$left" ] || fail "left after purging: $left"
    else
      fail "dpkg --purge: $out"
    fi
  fi
fi

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "packages: $(cd "$packages" && ls *.deb | tr '\n' ' ')"
