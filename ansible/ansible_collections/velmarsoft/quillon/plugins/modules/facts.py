#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: 2026 Quillon developers
# Apache License 2.0 (see LICENSE in the Quillon sources)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: facts
short_description: The directions of a KALDO product and the dictionary collections it holds
version_added: "0.1.0"
description:
  - Asks the KALDO product of the target, through C(quillon-cli directions) and
    C(quillon-cli installed), which translation directions it has and which collections
    (installed translation profiles) it holds in each. Changes nothing.
  - Sets the fact C(quillon) (see RETURN).
options:
  quillon_cli:
    description:
      - The path of C(quillon-cli) on the target.
    type: path
    default: quillon-cli
  registry:
    description:
      - The registry hive through which the product is found (C(QUILLON_REGISTRY)).
    type: path
  environment:
    description:
      - Further environment for C(quillon-cli).
    type: dict
    default: {}
notes:
  - Supports check mode (it changes nothing in any mode).
requirements:
  - quillon-cli on the target (Debian package C(quillon-cli))
author:
  - Quillon developers (@velmarsoft)
'''

EXAMPLES = r'''
- name: What the workstation's product holds
  velmarsoft.quillon.facts:

- name: Say it
  ansible.builtin.debug:
    msg: "{{ ansible_facts.quillon.installed.ER | default([]) }}"
'''

RETURN = r'''
ansible_facts:
  description: The fact C(quillon).
  returned: always
  type: complex
  contains:
    quillon:
      description: The product's directions and collections.
      type: complex
      contains:
        directions:
          description: The kernel's directions, in its order.
          type: list
          elements: dict
          sample: [{"code": "ER", "id": 131073, "name": "Англо-русский"}]
        installed:
          description: The names of the collections the product holds, by direction code.
          type: dict
          sample: {"ER": ["Общая лексика"], "RE": []}
        collections:
          description: Every collection with its direction and state (0 is listed for removal).
          type: list
          elements: dict
          sample: [{"direction": "ER", "name": "Общая лексика", "state": 0}]
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velmarsoft.quillon.plugins.module_utils import quillon_cli as cli


def main():
    module = AnsibleModule(argument_spec=dict(cli.COMMON_ARGS), supports_check_mode=True)
    rc, installed = cli.run(module, ['installed'])
    if rc != cli.EXIT_DONE:
        module.fail_json(msg='the product cannot be asked: %s' % installed.get('error', ''), rc=rc,
                         messages=cli.message_texts(installed))
    directions, collections, by_code = [], [], {}
    for d in installed.get('directions', []):
        directions.append(dict(code=d.get('code'), id=d.get('id'), name=d.get('name')))
        names = []
        for c in d.get('collections', []):
            collections.append(dict(direction=d.get('code'), name=c.get('name'), state=c.get('state')))
            names.append(c.get('name'))
        by_code[d.get('code')] = names
    module.exit_json(changed=False, ansible_facts=dict(quillon=dict(directions=directions, installed=by_code,
                                                                   collections=collections)))


if __name__ == '__main__':
    main()
