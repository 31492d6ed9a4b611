#!/usr/bin/env bash
# The shell completions of quillon-cli and quillon-dist (packaging/completions), tried in bash,
# zsh and fish against a scratch product with a distribution and two installed collections:
# commands, options, --replace values, and the values the programs answer themselves (direction
# codes; collection ids and profile keys of the DIST typed; names of installed collections).
#
#   check-completions.sh BUILD_DIR SOURCE_DIR
#
# bash: the completion function called with COMP_WORDS set; zsh: typed with a tab into an
# interactive zsh in a pseudo-terminal (zpty), compadd recording the matches; fish: complete -C.
# Exit 0 when every check passes, 1 when any fails, 77 (skipped) when a shell is missing.
set -uo pipefail
build=$1
source=$2
completions=$source/packaging/completions
bash_completion=/usr/share/bash-completion/bash_completion

missing=()
command -v zsh >/dev/null && zsh -fc 'zmodload zsh/zpty' 2>/dev/null || missing+=("zsh (with zsh/zpty)")
command -v fish >/dev/null || missing+=(fish)
[ -f "$bash_completion" ] || missing+=(bash-completion)
if ((${#missing[@]})); then
  echo "skipped: not installed: ${missing[*]}"
  exit 77
fi

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-completions.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
export QUILLON_REGISTRY=$scratch/registry.reg TMPDIR=$scratch XDG_CACHE_HOME=$scratch/cache \
  XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data LC_ALL=C.UTF-8
export PATH=$build/src/cli:$build/src/tools:$PATH
dist="$scratch/my dist" # a space, for the completions to quote
{
  "$build/refproduct/kaldo-product" init "$scratch/product" --directions ER,RE,GR \
    --library "$build/refproduct/libkaldo_refproduct.so" &&
    quillon-dist build "$source/samples/demo/demo.manifest" "$dist" &&
    quillon-cli install "$dist" --collection 1 --yes &&
    quillon-cli install "$dist" --collection 2 --yes
} >"$scratch/setup.log" 2>&1 || {
  cat "$scratch/setup.log"
  echo "FAIL: the scratch product could not be made"
  exit 1
}

# bash_reply PROGRAM WORD...: COMPREPLY of PROGRAM's completion for the last WORD.
bash_reply() {
  local function=_${1//-/_}
  bash -c 'source "$1"; source "$2"; fn=$3; shift 3
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    COMPREPLY=(); "$fn" 2>/dev/null; printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" "$completions/$1" "$function" "$@"
}
# complete_SHELL LINE: the completions of the end of LINE (shell syntax), one a line, unquoted.
complete_bash() {
  local line=${1//\\ /$'\1'} words
  read -ra words <<<"$line"
  words=("${words[@]//$'\1'/\\ }")
  [[ $1 == *" " ]] && words+=("")
  bash_reply "${words[@]}"
}
complete_fish() {
  fish --no-config -c 'set -g fish_complete_path $argv[1]; complete -C $argv[2]' "$completions" "$1" | cut -f1
}
# zsh: an interactive zsh -f in a pseudo-terminal with compinit and the completions first in
# fpath; compadd is wrapped to print each match after <M>, and the shell exits after the tab.
zsh_driver='
zmodload zsh/zpty || exit 2
zpty z zsh -f -i
zpty -w z "PS1= RPS1=; fpath=(${(q)1} \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w z '\''compadd() { if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return; fi; local -a hits; builtin compadd -A hits "$@"; (( $#hits )) && print -rl -- "<M>"${^${(Q)hits}}; builtin compadd "$@"; }'\''
zpty -w z '\''_quillon_test_end() { print -r -- "<""END>"; exit; }; comppostfuncs=(_quillon_test_end); print -r -- "<""READY>"'\''
zpty -r z out "*<READY>*"
zpty -w -n z "$2"$'\''\t'\''
zpty -r z out "*<END>*"
print -rl -- ${${(M)${(f)out//$'\''\r'\''}:#*<M>*}#*<M>}
'
complete_zsh() {
  timeout 30 zsh -f -c "$zsh_driver" zsh "$completions" "$1"
}

# check LINE EXPECTED...: each shell offers exactly EXPECTED (as a set) for the end of LINE.
check() {
  local line=$1 shell got want
  shift
  want=$(printf '%s\n' "$@" | sed '/^$/d' | sort -u)
  for shell in bash zsh fish; do
    got=$(cd "$scratch" && "complete_$shell" "$line" | sed '/^$/d' | sort -u)
    [ "$got" = "$want" ] || fail "$shell: '$line' offers [${got//$'\n'/ }], not [${want//$'\n'/ }]"
  done
}

d=${dist// /\\ }
every=(--help --version --json --yes --quiet --verbose --no-progress --log)
check 'quillon-cli ' directions list plan install installed remove
check 'quillon-cli inst' install installed
check 'quillon-cli list --' "${every[@]}"
check 'quillon-cli plan --' "${every[@]}" --collection --profile --replace
check 'quillon-cli install --' "${every[@]}" --collection --profile --replace --events
check 'quillon-cli installed --' "${every[@]}" --direction
check 'quillon-cli remove --' "${every[@]}" --direction --collection --all-of-direction --all
check "quillon-cli plan $d --replace " replace skip ask
check 'quillon-cli installed --direction ' ER RE GR
check 'quillon-cli remove --yes --direction G' GR
check "quillon-cli install $d --collection " 1 2
check "quillon-cli --yes install --json $d --collection " 1 2
check 'quillon-cli install --collection '
check "quillon-cli plan $d --profile " ER_GENERAL FR_GENERAL GR_GENERAL ER_TECH GR_TECH
check "quillon-cli plan $d --collection 2 --profile " ER_TECH GR_TECH
check "quillon-cli install --collection 1 $d --profile G" GR_GENERAL
check 'quillon-cli remove --collection ' 'Общая лексика' 'Техника и компьютеры'
check 'quillon-cli remove --direction GR --collection Тех' 'Техника и компьютеры'
check 'quillon-cli remove --direction RE --collection '
check 'quillon-dist ' build describe dict pack unpack verify profile storage
check 'quillon-dist profile ' compile dump
check 'quillon-dist storage ' create list extract
check 'quillon-dist dict ' make show
check 'quillon-dist build --' --setup-inf --best --help
check 'quillon-dist pack --' --best --help
check 'quillon-dist dict show --' --entries --help
check 'quillon-dist describe --' --collection --directions --json --help
check 'quillon-dist verify --' --json --help
check 'quillon-dist profile dump --' --json --help
check 'quillon-dist dict make --' --words --out --version --title --remarks --copyright --direction \
  --link-number --link-code --format-level --guid --help
check 'quillon-dist dict make --version ' 1 2 3 4 5

# bash alone: a value joined with "=", and a name typed after an opening quote.
got=$(complete_bash "quillon-cli plan $d --collection=2 --profile=E")
[ "$got" = ER_TECH ] || fail "bash: --profile=E after --collection=2 offers [$got], not [ER_TECH]"
got=$(bash_reply quillon-cli remove --collection '"Общая л')
[ "$got" = 'Общая лексика' ] || fail "bash: '--collection \"Общая л' offers [$got], not [Общая лексика]"

if ((failures)); then
  echo "$failures checks failed"
  exit 1
fi
echo "all completion checks passed"
