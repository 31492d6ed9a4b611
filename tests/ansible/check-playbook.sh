#!/usr/bin/env bash
# The Ansible collection as a fleet administrator uses it (docs/fleet.md): ansible-playbook with a
# local connection against an inventory of workstations, each with its own reference product and
# hive, running the playbooks of ansible/playbooks.
#
#   check-playbook.sh BUILD_DIR SOURCE_DIR
#
#   ws1, ws2  install both collections (changed), then again (changed=0, and no changing kernel
#             call in their journals); then absent (changed), and absent again (changed=0)
#   ws3       a product that refuses every write (its imports answer E_ACCESSDENIED, as a
#             read-only product's do): the play fails there with the product's message
#   ws4       fresh, in check mode: the change is predicted, the product is not changed (its
#             journal holds no changing call); the distribution is copied, as the plan reads it
# Also ansible-doc of each module and its documentation blocks parsed as YAML.
# Exit 0 when every check passes, 1 when any fails, 77 when ansible-core is not installed.
set -uo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
command -v ansible-playbook >/dev/null && command -v ansible-doc >/dev/null ||
  { echo "skipped: ansible-core is not installed (./run test installs it)"; exit 77; }

cli=$build/src/cli/quillon-cli dist_tool=$build/src/tools/quillon-dist product=$build/refproduct/kaldo-product
library=$build/refproduct/libkaldo_refproduct.so
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-ansible.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
export ANSIBLE_COLLECTIONS_PATH=$source/ansible ANSIBLE_LOCAL_TEMP=$scratch/ansible-tmp ANSIBLE_HOME=$scratch/ansible-home
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_HOST_KEY_CHECKING=0

"$dist_tool" build "$source/samples/demo/demo.manifest" "$scratch/dist" >/dev/null || { echo "FAIL: the distribution"; exit 1; }
{
  echo "[workstations]"
  for ws in ws1 ws2 ws3 ws4; do
    mkdir -p "$scratch/$ws/tmp"
    QUILLON_REGISTRY=$scratch/$ws/registry.reg "$product" init "$scratch/$ws/product" --directions ER,RE,GR \
      --library "$library" >/dev/null || fail "kaldo-product init $ws"
    echo "$ws ansible_connection=local ansible_python_interpreter=/usr/bin/python3" \
      "kaldo_dist=$scratch/$ws/dist quillon_registry=$scratch/$ws/registry.reg" \
      "quillon_environment='{\"TMPDIR\": \"$scratch/$ws/tmp\", \"XDG_CACHE_HOME\": \"$scratch/$ws/cache\"}'"
  done
  echo "[workstations:vars]"
  echo "kaldo_dist_source=$scratch/dist"
  echo "quillon_cli=$cli"
  echo "kaldo_collections='[\"1\", \"Техника и компьютеры\"]'"
} >"$scratch/inventory"
QUILLON_REGISTRY=$scratch/ws3/registry.reg "$product" fault ImportDictionary 0x80070005 1000 >/dev/null

journal() { QUILLON_REGISTRY=$scratch/$1/registry.reg "$product" journal; }
# The changing calls of a journal's lines after the first $2.
changing_calls() {
  journal "$1" | tail -n +"$(($2 + 1))" |
    grep -cE '"operation":"(ImportDictionary|InstallBaseTM|InstallProfile|RemoveCollection|RemoveDirectionCollections|RemoveAllCollections|DeleteDictionary|DictFileService.Set)'
}
lines() { journal "$1" | wc -l; }
# play PLAYBOOK [ansible-playbook options]: runs it; what it printed in $scratch/report
play() {
  local book=$1
  shift
  ansible-playbook -i "$scratch/inventory" "$source/ansible/playbooks/$book" "$@" >"$scratch/report" 2>&1
}
# stat HOST FIELD: a number of the run's recap (changed, failed, ok, ...); -1 when the host has none
stat() {
  local n
  n=$(sed -n "s/^$1 *: .* $2=\([0-9]*\).*/\1/p" "$scratch/report")
  echo "${n:--1}"
}
collections() { QUILLON_REGISTRY=$scratch/$1/registry.reg "$product" list --json | grep -o '"fullName"' | wc -l; }

# First run: installed on ws1 and ws2, failed on ws3 with the product's message.
play site.yml --limit ws1,ws2,ws3
for ws in ws1 ws2; do
  [ "$(stat $ws failed)" = 0 ] || fail "$ws failed: $(head -c 3000 "$scratch/report")"
  [ "$(stat $ws changed)" = 2 ] || fail "$ws: changed $(stat $ws changed), not 2 (the copy, the collections)"
  [ "$(collections $ws)" = 4 ] || fail "$ws holds $(collections $ws) collections, not 4 (two collections, two directions)"
done
[ "$(stat ws3 failed)" = 1 ] || fail "ws3 did not fail: failures $(stat ws3 failed)"
grep -q 'message 57364: ' "$scratch/report" || fail "ws3's failure does not carry the product's message 57364"
[ "$(collections ws3)" = 0 ] || fail "ws3 holds $(collections ws3) collections"
QUILLON_REGISTRY=$scratch/ws3/registry.reg "$product" verify >/dev/null || fail "ws3's product does not verify"

# Second run: nothing changes, and no changing call reaches the kernel.
before1=$(lines ws1) before2=$(lines ws2)
play site.yml --limit ws1,ws2
for ws in ws1 ws2; do
  [ "$(stat $ws changed)" = 0 ] || fail "$ws: the second run changed $(stat $ws changed)"
  [ "$(stat $ws failed)" = 0 ] || fail "$ws: the second run failed"
done
[ "$(changing_calls ws1 "$before1")" = 0 ] || fail "the second run made changing kernel calls on ws1"
[ "$(changing_calls ws2 "$before2")" = 0 ] || fail "the second run made changing kernel calls on ws2"
# The facts module, ad hoc: what ws1 holds.
ansible ws1 -i "$scratch/inventory" -m velmarsoft.quillon.facts \
  -a "quillon_cli=$cli registry=$scratch/ws1/registry.reg" >"$scratch/facts" 2>&1
sed -n '1s/^ws1 | SUCCESS => //p; 1!p' "$scratch/facts" | /usr/bin/python3 -c 'import json,sys
facts = json.load(sys.stdin)["ansible_facts"]["quillon"]
assert facts["installed"]["ER"] == ["Общая лексика", "Техника и компьютеры"], facts
assert [d["code"] for d in facts["directions"]] == ["ER", "RE", "GR"], facts' ||
  fail "the facts module does not report ws1's collections: $(cat "$scratch/facts")"

# Check mode on a fresh workstation: predicted, nothing written.
before4=$(lines ws4)
play site.yml --limit ws4 --check --diff
[ "$(stat ws4 changed)" = 2 ] || fail "ws4 in check mode: changed $(stat ws4 changed), not 2 (the copy, the collections)"
[ "$(stat ws4 failed)" = 0 ] || fail "ws4 in check mode failed"
grep -q 'dictionary Англо-русский словарь' "$scratch/report" || fail "the diff does not list the dictionaries to install"
[ "$(changing_calls ws4 "$before4")" = 0 ] || fail "check mode made changing kernel calls on ws4"
[ "$(collections ws4)" = 0 ] || fail "check mode installed something on ws4"

# Absent: removed, then nothing to do.
play remove.yml --limit ws1
[ "$(stat ws1 changed)" = 1 ] || fail "absent on ws1: changed $(stat ws1 changed), not 1"
[ "$(collections ws1)" = 0 ] || fail "ws1 holds $(collections ws1) collections after absent"
before1=$(lines ws1)
play remove.yml --limit ws1
[ "$(stat ws1 changed)" = 0 ] || fail "a second absent on ws1 changed $(stat ws1 changed)"
[ "$(changing_calls ws1 "$before1")" = 0 ] || fail "a second absent made changing kernel calls"
QUILLON_REGISTRY=$scratch/ws1/registry.reg "$product" verify >/dev/null || fail "ws1's product does not verify"

# The modules' documentation: ansible-doc renders it; its blocks are YAML with the keys Ansible needs.
for module in dictionary_collection facts; do
  ansible-doc -t module "velmarsoft.quillon.$module" >"$scratch/doc" 2>&1 || fail "ansible-doc $module: $(cat "$scratch/doc")"
  /usr/bin/python3 - "$source/ansible/ansible_collections/velmarsoft/quillon/plugins/modules/$module.py" <<'PY' ||
import ast, sys, yaml
tree = ast.parse(open(sys.argv[1]).read())
blocks = {t.id: n.value.value for n in tree.body if isinstance(n, ast.Assign) for t in n.targets
          if isinstance(t, ast.Name) and t.id in ("DOCUMENTATION", "EXAMPLES", "RETURN")}
assert set(blocks) == {"DOCUMENTATION", "EXAMPLES", "RETURN"}, blocks.keys()
doc = yaml.safe_load(blocks["DOCUMENTATION"])
for key in ("module", "short_description", "description", "options", "author", "version_added"):
    assert key in doc, key
for name, option in doc["options"].items():
    assert "description" in option and "type" in option, name
assert isinstance(yaml.safe_load(blocks["EXAMPLES"]), list)
assert isinstance(yaml.safe_load(blocks["RETURN"]), dict)
PY
    fail "the documentation blocks of $module"
done

# ansible-test sanity: the tests that run offline (the others build a virtual environment with
# packages from the network), on a copy of the collection (it writes its results beside it).
offline=(action-plugin-docs compile empty-init future-import-boilerplate line-endings metaclass-boilerplate no-assert
  no-basestring no-dict-iteritems no-dict-iterkeys no-dict-itervalues no-get-exception no-illegal-filenames
  no-main-display no-smart-quotes no-unicode-literals replace-urlopen shebang symlinks use-argspec-type-path
  use-compat-six)
mkdir -p "$scratch/sanity/ansible_collections/velmarsoft"
cp -r "$source/ansible/ansible_collections/velmarsoft/quillon" "$scratch/sanity/ansible_collections/velmarsoft/"
(cd "$scratch/sanity/ansible_collections/velmarsoft/quillon" &&
  ansible-test sanity --python "$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
    $(printf -- '--test %s ' "${offline[@]}")) >"$scratch/sanity.log" 2>&1 || fail "ansible-test sanity: $(tail -20 "$scratch/sanity.log")"
[ "$(grep -c '^Running sanity test' "$scratch/sanity.log")" = "${#offline[@]}" ] ||
  fail "ansible-test ran $(grep -c '^Running sanity test' "$scratch/sanity.log") sanity tests, not ${#offline[@]}"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "ansible: four workstations, install, idempotence, a failing product, check mode, absent: all as expected"
