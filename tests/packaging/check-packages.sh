#!/usr/bin/env bash
# The Debian packages as a user gets them: made by cpack from this build into a scratch folder,
# unpacked with dpkg -x into a scratch root, and checked there (docs/packages.md).
#
#   check-packages.sh BUILD_DIR SOURCE_DIR
#
# Exit 0 when every check passes, 1 when any fails, 77 (skipped) when a tool is missing.
set -uo pipefail
build=$1
source=$2

skip() {
  echo "skipped: $*"
  exit 77
}
for tool in cpack dpkg-deb dpkg-shlibdeps file groff desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (./run test installs it)"
done
completion=/usr/share/bash-completion/bash_completion
[ -f "$completion" ] || skip "bash-completion is not installed (./run test installs it)"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-packages.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! (cd "$build" && cpack --config CPackConfig.cmake -B "$scratch/packages") >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi

# What each package holds, nothing more (directories aside).
declare -A expected
expected[quillon]="usr/bin/quillon
usr/bin/quillon-launcher
usr/lib/quillon/launcher
usr/lib/quillon/quillon
usr/lib/quillon/quillonResENU.qm
usr/share/applications/quillon.desktop
usr/share/icons/hicolor/scalable/apps/quillon.svg
usr/share/man/man1/quillon-launcher.1.gz
usr/share/man/man1/quillon.1.gz
usr/share/metainfo/com.velmarsoft.quillon.metainfo.xml"
expected[quillon-cli]="usr/bin/quillon-cli
usr/lib/quillon/quillon-cli
usr/share/bash-completion/completions/quillon-cli
usr/share/man/man1/quillon-cli.1.gz"
expected[quillon-dist]="usr/bin/quillon-dist
usr/share/bash-completion/completions/quillon-dist
usr/share/man/man1/quillon-dist.1.gz"

root=$scratch/root
mkdir -p "$root"
declare -A deb
for package in quillon quillon-cli quillon-dist; do
  deb[$package]=$(ls "$scratch/packages/${package}"_*.deb 2>/dev/null | head -n 1)
  if [ -z "${deb[$package]}" ]; then
    fail "no package $package"
    continue
  fi
  [ "$(dpkg-deb -f "${deb[$package]}" Package)" = "$package" ] || fail "${deb[$package]} is not named $package"
  own=$scratch/only-$package
  dpkg -x "${deb[$package]}" "$own"
  held=$(cd "$own" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
  if [ "$held" != "$(LC_ALL=C sort <<<"${expected[$package]}")" ]; then
    fail "$package holds"
    diff <(LC_ALL=C sort <<<"${expected[$package]}") <(echo "$held")
  fi
  dpkg -x "${deb[$package]}" "$root"
done
[ "$(ls "$scratch/packages"/*.deb | wc -l)" -eq 3 ] || fail "cpack made other packages: $(ls "$scratch/packages")"

# Links are relative and end at a program inside the root.
for link in quillon quillon-cli quillon-launcher; do
  path=$root/usr/bin/$link
  [ -L "$path" ] || { fail "usr/bin/$link is not a symbolic link"; continue; }
  case $(readlink "$path") in /*) fail "usr/bin/$link points outside the root: $(readlink "$path")" ;; esac
  real=$(readlink -f "$path")
  [[ $real == "$root/usr/lib/quillon/"* && -f $real && -x $real ]] || fail "usr/bin/$link resolves to $real"
done
for program in usr/lib/quillon/quillon usr/lib/quillon/launcher usr/lib/quillon/quillon-cli usr/bin/quillon-dist; do
  [ -x "$root/$program" ] || fail "$program is not executable"
done

# Dependencies from dpkg-shlibdeps.
depends=$(dpkg-deb -f "${deb[quillon]}" Depends)
for library in libqt6core6 libqt6widgets6 libc6; do
  [[ $depends == *"$library"* ]] || fail "quillon's Depends lacks $library: $depends"
done
[[ $(dpkg-deb -f "${deb[quillon-cli]}" Depends) == *libqt6core6* ]] || fail "quillon-cli's Depends lacks libqt6core6"
[[ $(dpkg-deb -f "${deb[quillon-cli]}" Suggests) == *quillon* ]] || fail "quillon-cli does not suggest quillon"

# The programs run from the root. --help answers usage: on standard output with exit 0, or (the
# older form) on standard error with exit 2.
usage_of() { # usage_of PROGRAM: prints the usage text; answers 1 unless --help prints it on stdout with exit 0
  local out err code
  out=$("$root/usr/bin/$1" --help 2>"$scratch/err")
  code=$?
  err=$(cat "$scratch/err")
  if [ "$code" -eq 0 ] && [[ $out == *usage* ]]; then
    echo "$out"
  else
    echo "exit $code, stdout '$out', stderr '$err'"
    return 1
  fi
}
cli_usage=$(usage_of quillon-cli) || fail "quillon-cli --help: $cli_usage"
dist_usage=$(usage_of quillon-dist) || fail "quillon-dist --help: $dist_usage"
[[ $cli_usage == *"quillon-cli install"* ]] || fail "quillon-cli --help: $cli_usage"
[[ $dist_usage == *"quillon-dist"* ]] || fail "quillon-dist --help: $dist_usage"
"$root/usr/bin/quillon-launcher" --help >/dev/null || fail "quillon-launcher --help"

# A machine without a product, whose interface language is English: the programs, started through
# their links, find the English catalogue beside their real file and say so in English.
export XDG_RUNTIME_DIR=$scratch/run XDG_CACHE_HOME=$scratch/cache TMPDIR=$scratch/tmp QT_QPA_PLATFORM=offscreen
export QUILLON_AUTO_ANSWER=default QUILLON_REGISTRY=$scratch/registry.reg
unset DBUS_SESSION_BUS_ADDRESS
mkdir -m 0700 -p "$XDG_RUNTIME_DIR" "$XDG_CACHE_HOME" "$TMPDIR"
"$root/usr/bin/quillon-launcher" 2>/dev/null
code=$?
[ "$code" -eq 255 ] || fail "quillon-launcher without a registered installer: exit $code, not 255"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\KLDO9]' '"KldoLangID"=dword:00000409' '' \
  '[HKEY_LOCAL_MACHINE\Software\Velmar Soft\KLDO9\Apps]' '"Morvel"="/nonexistent/quillon"' >"$QUILLON_REGISTRY"
english='^message 1035: [ -~]*$' # ASCII only: not the built-in Russian text
mkdir -p "$scratch/empty"
out=$("$root/usr/bin/quillon-cli" list "$scratch/empty" 2>&1)
LC_ALL=C grep -q "$english" <<<"$out" || fail "quillon-cli does not speak English: $out"
out=$("$root/usr/bin/quillon" 2>&1)
code=$?
[ "$code" -eq 1 ] && LC_ALL=C grep -q "$english" <<<"$out" || fail "quillon without a product: exit $code, $out"
# The launcher starts the quillon beside its real file, not the registered path.
"$root/usr/bin/quillon-launcher" 2>/dev/null
code=$?
[ "$code" -eq 0 ] || fail "quillon-launcher did not start the quillon beside it: exit $code"
for _ in $(seq 100); do # the started quillon ends at once (no product); wait for it
  pgrep -f "^$root/usr/lib/quillon/quillon\$" >/dev/null || break
  sleep 0.1
done

# Manual pages render without warnings: the packaged ones, and kaldo-product's from the sources.
for page in "$root"/usr/share/man/man1/*.1.gz "$source/docs/man/kaldo-product.1"; do
  if [[ $page == *.gz ]]; then text=$(zcat "$page"); else text=$(cat "$page"); fi
  warnings=$(groff -man -Tutf8 -ww -z <<<"$text" 2>&1) || fail "groff failed on $page"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
[ "$(ls "$root"/usr/share/man/man1/*.1.gz | wc -l)" -eq 4 ] || fail "four manual pages expected"

# Desktop entry and AppStream metadata.
desktop=$root/usr/share/applications/quillon.desktop
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/$exec_program" ] || fail "the desktop entry runs '$exec_program', which is not in usr/bin"
metainfo=$root/usr/share/metainfo/com.velmarsoft.quillon.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] || fail "the metainfo launches '$launchable'"

# Completion offers every command and option the usage texts name.
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
done < <(sed -n 's/^ *quillon-cli \([a-z]\)/\1/p' <<<"$cli_usage")
dist_completion=$root/usr/share/bash-completion/completions/quillon-dist
while read -r line; do
  read -r -a words <<<"$(grep -o '^[a-z]\+\( [a-z]\+\)\?' <<<"$line")"
  offers "${words[0]}" "$dist_completion" _quillon_dist quillon-dist ""
  ((${#words[@]} == 2)) && offers "${words[1]}" "$dist_completion" _quillon_dist quillon-dist "${words[0]}" ""
  for option in $(grep -o -- '--[a-z-]*' <<<"$line"); do
    offers "$option" "$dist_completion" _quillon_dist quillon-dist "${words[@]}" --
  done
done < <(sed -n 's/^  \([a-z]\)/\1/p' <<<"$dist_usage")

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "packages: $(cd "$scratch/packages" && ls *.deb | tr '\n' ' ')"
