#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: 2026 Quillon developers
# Apache License 2.0 (see LICENSE in the Quillon sources)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: dictionary_collection
short_description: Ensure a dictionary collection of a distribution is installed in, or removed from, a KALDO product
version_added: "0.1.0"
description:
  - Installs a collection of a KALDO dictionary distribution (its dictionaries, TM bases and
    translation profiles) into the KALDO product of the target, or removes its translation
    profiles, with C(quillon-cli).
  - Idempotent. What the product already holds is read first with C(quillon-cli plan), which asks
    the kernel only reading calls; a collection whose chosen profiles the product holds already
    is left alone (C(changed=false)), and so is an absent collection none of whose profiles is
    installed.
  - In check mode nothing is installed or removed; the module says what would change. With
    C(--diff) it lists the objects that would be installed or removed.
  - The product keeps dictionaries and TM bases other profiles share; removing a collection
    removes its profiles, and the product removes what no profile uses any more.
options:
  distribution:
    description:
      - The distribution's folder on the target (its description files, or a C(DICTS) folder in it).
    type: path
    required: true
  collection:
    description:
      - The collection, by its identifier (as C(quillon-cli list DIST) shows it) or by its name
        (letter case aside).
    type: str
    required: true
  profiles:
    description:
      - The keys of the collection's translation profiles to install; by default every profile
        the installer preselects (those of directions the product has).
    type: list
    elements: str
  replace:
    description:
      - What the product does with an installed profile of the same direction and name when it
        installs the collection.
    type: str
    choices: [replace, skip, ask]
    default: replace
  state:
    description:
      - C(present) installs the collection when the product does not hold all of its chosen
        profiles; C(absent) removes every installed profile of the collection.
    type: str
    choices: [present, absent]
    default: present
  quillon_cli:
    description:
      - The path of C(quillon-cli) on the target.
    type: path
    default: quillon-cli
  registry:
    description:
      - The registry hive through which the product is found (C(QUILLON_REGISTRY)); the
        program's default, C(/etc/velmar-soft/registry.reg), when not given.
    type: path
  environment:
    description:
      - Further environment for C(quillon-cli), such as C(TMPDIR).
    type: dict
    default: {}
notes:
  - Changing the product needs the rights to write it (root, or write access to the hive and the
    product's folders); C(quillon-cli) says which path it may not write.
  - Supports check mode and diff mode.
requirements:
  - quillon-cli on the target (Debian package C(quillon-cli))
author:
  - Quillon developers (@velmarsoft)
'''

EXAMPLES = r'''
- name: The general collection is installed
  velmarsoft.quillon.dictionary_collection:
    distribution: /srv/kaldo/dist
    collection: "1"

- name: Only the English-Russian profile of "Техника и компьютеры", keeping an installed one
  velmarsoft.quillon.dictionary_collection:
    distribution: /srv/kaldo/dist
    collection: Техника и компьютеры
    profiles: [ER_TECH]
    replace: skip

- name: The licence has ended
  velmarsoft.quillon.dictionary_collection:
    distribution: /srv/kaldo/dist
    collection: "2"
    state: absent
'''

RETURN = r'''
collection:
  description: The collection's identifier in the distribution.
  returned: always
  type: str
  sample: "1"
name:
  description: The collection's name.
  returned: always
  type: str
  sample: Общая лексика
items:
  description:
    - Present, and on a change or in check mode, the objects of the collection (dictionaries, TM
      bases, profiles) with what became of each, or would.
    - For an installation, C(result) is C(installed), C(already-there), C(failed) or
      C(cancelled); in check mode and when nothing changes, C(action) is the plan's (C(install),
      C(exists), C(replace), C(keep), ...) and C(present) whether the product holds it already.
  returned: state=present
  type: list
  elements: dict
  sample: [{"kind": "dictionary", "key": "er_common.dct", "name": "Англо-русский словарь \"Общая лексика (англ.)\"", "result": "installed"}]
removed:
  description: The profiles removed (or, in check mode, that would be), by direction and name.
  returned: state=absent
  type: list
  elements: dict
  sample: [{"direction": "ER", "name": "Общая лексика"}]
messages:
  description: 'The messages the installer and the product showed, as "message ID: text".'
  returned: always
  type: list
  elements: str
rc:
  description: The exit code of the last quillon-cli run.
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velmarsoft.quillon.plugins.module_utils import quillon_cli as cli


def find_collection(module, distribution, wanted):
    """The collection's identifier and name: by identifier, else by name (letter case aside)."""
    rc, listing = cli.run(module, ['list', distribution])
    if rc != cli.EXIT_DONE:
        module.fail_json(msg='the distribution cannot be listed: %s' % listing.get('error', ''), rc=rc,
                         messages=cli.message_texts(listing))
    collections = listing.get('collections', [])
    for c in collections:
        if c.get('id') == wanted:
            return c['id'], c.get('name', '')
    for c in collections:
        if c.get('name', '').lower() == wanted.lower():
            return c['id'], c.get('name', '')
    module.fail_json(msg='the distribution offers no collection "%s" (a collection of no direction the product has is '
                         'not offered)' % wanted, offered=[dict(id=c.get('id'), name=c.get('name')) for c in collections],
                     rc=rc, messages=cli.message_texts(listing))


def selection_args(module, distribution, identifier):
    args = [distribution, '--collection', identifier, '--replace', module.params['replace']]
    for key in module.params['profiles'] or []:
        args += ['--profile', key]
    return args


def describe(items):
    return ''.join('%s %s\n' % (i.get('kind', ''), i.get('name', '')) for i in items)


def ensure_present(module, result, args):
    rc, plan = cli.run(module, ['plan'] + args)
    result['messages'] = cli.message_texts(plan)
    if rc in (cli.EXIT_CANNOT_START, cli.EXIT_USAGE):
        module.fail_json(msg='the installation cannot be planned: %s' % plan.get('error', ''), rc=rc, **result)
    planned = plan.get('items', [])
    missing = [i for i in planned if not i.get('present')]
    profiles = [i for i in planned if i.get('kind') == 'profile']
    result['rc'] = rc
    if not profiles:
        module.fail_json(msg='no profile of the collection would be installed (none chosen, or none of a direction '
                             'the product has)', items=planned, **result)
    if not missing:
        result['items'] = planned
        module.exit_json(changed=False, **result)
    if module._diff:
        result['diff'] = dict(before='', after=describe(missing))
    if module.check_mode:
        result['items'] = planned
        module.exit_json(changed=True, **result)
    rc, report = cli.run(module, ['install'] + args + ['--yes'])
    result.update(rc=rc, items=report.get('items', []), messages=cli.message_texts(report))
    if rc != cli.EXIT_DONE:
        failed = [i for i in result['items'] if not i.get('installed')]
        module.fail_json(msg='the installation ended %s: %s' % (
            report.get('result', 'with exit code %d' % rc),
            '; '.join('%s %s: %s' % (i.get('kind'), i.get('name'), i.get('reason', '')) for i in failed)
            or report.get('error', '')), changed=any(i.get('result') == 'installed' for i in result['items']), **result)
    module.exit_json(changed=True, **result)


def ensure_absent(module, result, distribution, identifier):
    rc, plan = cli.run(module, ['plan', distribution, '--collection', identifier])
    result['messages'] = cli.message_texts(plan)
    if rc in (cli.EXIT_CANNOT_START, cli.EXIT_USAGE):
        module.fail_json(msg='the collection cannot be looked up: %s' % plan.get('error', ''), rc=rc, **result)
    held = [dict(direction=i.get('direction'), name=i.get('profileName'))
            for i in plan.get('items', []) if i.get('kind') == 'profile' and i.get('present')]
    result['rc'] = rc
    if not held:
        result['removed'] = []
        module.exit_json(changed=False, **result)
    if module._diff:
        result['diff'] = dict(before=''.join('profile %s %s\n' % (h['direction'], h['name']) for h in held), after='')
    if module.check_mode:
        result['removed'] = held
        module.exit_json(changed=True, **result)
    rc, report = cli.run(module, ['remove', distribution, '--collection', identifier])
    result.update(rc=rc, removed=report.get('removed', []), messages=cli.message_texts(report))
    if rc != cli.EXIT_DONE:
        module.fail_json(msg='the removal ended with exit code %d: %s' % (rc, report.get('error', '') or '; '.join(
            '%s %s: %s' % (f.get('direction'), f.get('name'), f.get('error')) for f in report.get('failed', []))),
            failed_profiles=report.get('failed', []), changed=bool(result['removed']), **result)
    module.exit_json(changed=True, **result)


def main():
    argument_spec = dict(
        distribution=dict(type='path', required=True),
        collection=dict(type='str', required=True),
        profiles=dict(type='list', elements='str'),
        replace=dict(type='str', choices=['replace', 'skip', 'ask'], default='replace'),
        state=dict(type='str', choices=['present', 'absent'], default='present'),
    )
    argument_spec.update(cli.COMMON_ARGS)
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    distribution = module.params['distribution']
    identifier, name = find_collection(module, distribution, module.params['collection'])
    result = dict(collection=identifier, name=name, messages=[], rc=0)
    if module.params['state'] == 'present':
        ensure_present(module, result, selection_args(module, distribution, identifier))
    else:
        ensure_absent(module, result, distribution, identifier)


if __name__ == '__main__':
    main()
