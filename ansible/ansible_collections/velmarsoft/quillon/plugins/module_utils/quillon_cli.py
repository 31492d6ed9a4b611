# -*- coding: utf-8 -*-
# Copyright: 2026 Quillon developers
# Apache License 2.0 (see LICENSE in the Quillon sources)
"""Runs quillon-cli on the target and reads its one JSON object (docs/quillon-cli.md, "JSON")."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# quillon-cli's exit codes.
EXIT_DONE = 0
EXIT_CANNOT_START = 1
EXIT_USAGE = 2
EXIT_CANCELLED = 3
EXIT_PARTLY_FAILED = 4
EXIT_NOTHING_DONE = 5

COMMON_ARGS = dict(
    quillon_cli=dict(type='path', default='quillon-cli'),
    registry=dict(type='path'),
    environment=dict(type='dict', default={}),
)


def environment(module):
    """The environment quillon-cli runs in: the module's, and the hive of `registry`."""
    env = dict((str(k), str(v)) for k, v in module.params['environment'].items())
    if module.params.get('registry'):
        env['QUILLON_REGISTRY'] = module.params['registry']
    return env


def run(module, args):
    """quillon-cli ARGS --json: (exit code, the JSON object). A run that printed no JSON object
    fails the module with what it said."""
    command = [module.params['quillon_cli']] + list(args) + ['--json']
    rc, out, err = module.run_command(command, environ_update=environment(module), data='')
    try:
        result = json.loads(out)
    except ValueError:
        module.fail_json(msg='quillon-cli printed no JSON object', cmd=command, rc=rc, stdout=out, stderr=err)
    if not isinstance(result, dict):
        module.fail_json(msg='quillon-cli printed no JSON object', cmd=command, rc=rc, stdout=out, stderr=err)
    return rc, result


def message_texts(result):
    """The texts of the messages the product and the installer showed."""
    return ['message %d: %s' % (m.get('id', 0), m.get('text', '')) for m in result.get('messages', [])]
