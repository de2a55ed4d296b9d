#!/usr/bin/env python3
"""oemhost --json read with Python's json module, and oemhost doctor, against the simulated modem
of sim/default-profile.txt (OEMSIM_FAULT makes it fail a step); a profile that cannot be read is
refused.
usage: json-doctor.py PREFIX OEMHOST WORK_DIR HOLD_EXPORT_LOCK"""
import json
import os
import subprocess
import sys
import time

prefix, host, work, hold_lock = sys.argv[1:5]
wine_run = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'cmake', 'wine-run.sh')
failures = []


def windows(path):
    return 'Z:' + path.replace('/', '\\')


def oemhost(args, fault=''):
    env = dict(os.environ, OEMSIM_STATE=windows(os.path.join(work, 'state.txt')), OEMSIM_FAULT=fault)
    done = subprocess.run(['sh', wine_run, prefix, host] + args, capture_output=True, text=True, env=env)
    return done.returncode, done.stdout, done.stderr


def check(what, ok):
    if not ok:
        failures.append(what)


def run_json(args, fault, code):
    got, out, err = oemhost(['--json'] + args, fault)
    doc = json.loads(out)
    check(f'{args} {fault}: exit code {got}, JSON {doc["exit_code"]}, expected {code}\n{err}',
          got == code == doc['exit_code'])
    return doc, err


os.makedirs(work, exist_ok=True)
if os.path.exists(os.path.join(work, 'state.txt')):
    os.remove(os.path.join(work, 'state.txt'))

# report: every export's answer, typed, with the default profile's values.
ANSWER_TYPES = {'export': str, 'inputs': dict, 'result': int, 'answered': bool, 'meaning': str, 'outputs': dict}
REPORT = [  # export, mode, raw result, outputs
    ('OEM_Check_If_UpdateCurrentPackage', None, 1, {}),
    ('OEM_Check_If_UpdateCurrentCarrierInPackage', None, 0, {}),
    ('OEM_Check_If_FlashCurrentCarrier', None, 1, {'FlashModemImage': True, 'FlashNVMImage': False}),
    ('OEM_GetCarrierSwitch', 1, 1, {'value': 5, 'flag': False}),
    ('OEM_GetCarrierSwitch', 2, 1, {'value': 0, 'flag': False}),
    ('OEM_GetCarrierSwitch', 3, 1, {'flag': True}),
    ('OEM_GetCarrierSwitch', 4, 1, {'value': 3}),
    ('OEM_GetCurrentCarrierID', None, 5, {}),
]
doc, _ = run_json(['report'], '', 0)
answers = doc['answers']
check('report: answers', [(a['export'], a['inputs'].get('mode'), a['result'], a['outputs']) for a in answers] == REPORT)
check('report: field types', all(type(a[k]) is t for a in answers for k, t in ANSWER_TYPES.items()))
check('report: the sample versions', answers[0]['inputs'] == {'current': 'A1.B2.C3.10.4', 'next': 'A1.B2.C3.10.5'})
check('report: meanings', [a['meaning'] for a in answers][5:] == ['on', 'carrier 3', 'carrier 5'])
check('report: exit meaning', doc['exit_meaning'] == 'answered' and doc['simulate'] is False)

# single commands: arguments, fault, exit code, the one answer expected
ODD = 'a"\\b\t\x01'  # escaped in the JSON
SINGLE = [
    (['carrier-id'], 'NoInterface', 1, {'result': -1, 'answered': False, 'meaning': 'no answer from the modem'}),
    (['--simulate', 'get-switch', 'lock'], '', 0, {'inputs': {'mode': 1}, 'outputs': {'value': 5, 'flag': False}}),
    (['set-switch', 'factory-default', '-1'], '', 1, {'inputs': {'mode': 4, 'value': -1, 'flag': True}, 'result': 0}),
    (['package-differs', ODD, ODD.upper()], '', 0, {'inputs': {'current': ODD, 'next': ODD.upper()}}),
    (['flash-decision', 'A1.B2.18.0.5', '7.9'], '', 0, {'outputs': {'FlashModemImage': False, 'FlashNVMImage': False}}),
]
for args, fault, code, expected in SINGLE:
    answer = run_json(args, fault, code)[0]['answers'][0]
    check(f'{args}: {answer}', all(answer[k] == v for k, v in expected.items()))

# refusals: nothing asked, the reason on standard error
with open(os.path.join(work, 'bad.txt'), 'w') as bad:
    bad.write('> AT\\q\n')
for profile, why in (('bad.txt', 'line 1: unknown escape'), ('missing.txt', 'cannot read')):
    doc, err = run_json(['--simulate', '--profile', windows(os.path.join(work, profile)), 'carrier-id'], '', 2)
    check(f'{profile}: refused', doc['answers'] == [] and why in err and 'nothing was sent' in err)
check('unknown command', run_json(['no-such-command'], '', 2)[0]['exit_meaning'] == 'usage')

# doctor: fault, exit code, the eight steps (o ok, f failed, s skipped), the failing step's result
DOCTOR = [
    ('', 0, 'oooooooo', None),
    ('ClassFactoryRefuses', 12, 'ofssssss', '0x80070005'),
    ('ContextMissing', 14, 'ooofssss', '0x80070490'),
    ('NoInterface', 13, 'oofsssss', '0x00000000'),
    ('InterfaceOff', 13, 'oofooooo', '0x00000000'),
    ('ServiceMissing', 15, 'oooofsss', '0x80070490'),
    ('SessionAlreadyOpen', 0, 'oooooooo', None),
    ('SessionOpenFailStatus', 16, 'ooooofoo', '0x80004005'),
    ('SessionOpenNoCompletion', 16, 'ooooofss', '0x00000000'),
    ('SetCommandFails', 17, 'oooooofo', '0x80070005'),
    ('CompletionFailStatus', 17, 'oooooofo', '0x80004005'),
    ('NoCompletion', 17, 'oooooofo', '0x00000000'),
    ('SessionCloseRefused', 18, 'ooooooof', '0x80070005'),
    ('SessionCloseNoCompletion', 18, 'ooooooof', '0x00000000'),
]
for fault, code, statuses, failed in DOCTOR:
    doc, _ = run_json(['--simulate', 'doctor'] if fault == '' else ['doctor'], fault, code)
    steps = doc['steps']
    check(f'doctor {fault}: steps {steps}', ''.join(s['status'][0] for s in steps) == statuses)
    bad = [s for s in steps if s['status'] == 'failed']
    check(f'doctor {fault}: result and advice', [s['hresult'] for s in bad[:1]] == ([failed] if failed else []) and
          all(s['advice'] for s in bad) and doc['export_lock'] is True)
    check(f'doctor {fault}: reply', fault != '' or steps[6]['reply'] == '\r\nOK\r\n')
    check(f'doctor {fault}: interfaces', fault != '' or steps[2]['interfaces'][0]['ready'] == 'initialized')

# doctor with the export lock held by another process: no step, exit 10 after its wait (300 ms
# given, then the real 10 s).
holder = subprocess.Popen(['sh', wine_run, prefix, hold_lock], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
check('the second process holds the lock', holder.stdout.readline().strip() == 'held')
os.environ['OEMHOST_LOCK_WAIT_MS'] = '300'
doc, _ = run_json(['--simulate', 'doctor'], '', 10)
del os.environ['OEMHOST_LOCK_WAIT_MS']
steps = doc['steps']
check(f'doctor, lock held: steps {steps}', [s['status'][0] for s in steps] == ['f'] + ['s'] * 8 and
      steps[0]['step'] == 0 and 'waited 300 ms' in steps[0]['detail'] and steps[0]['advice'] and not doc['export_lock'])
start = time.monotonic()
code, out, _ = oemhost(['--simulate', 'doctor'])
check(f'doctor, lock held, as text after {time.monotonic() - start:.1f} s:\n{out}', code == 10 and
      time.monotonic() - start >= 10 and ' 0. Export lock: FAILED: another process holds the export lock' in out)
holder.stdin.close()
check('the lock holder', holder.wait() == 0)

code, out, _ = oemhost(['doctor'], 'ServiceMissing')
check(f'doctor as text:\n{out}', code == 15 and ' 5. AT device service: FAILED: ' in out and 'What to do: ' in out)
code, out, err = oemhost(['--simulate', '--profile', windows(os.path.join(work, 'bad.txt')), 'carrier-id'])
check(f'refusal as text: {out} {err}', code == 2 and out == '' and 'line 1' in err)

for failure in failures:
    print('FAILED', failure)
print('json and doctor:', 'failed' if failures else 'passed')
sys.exit(1 if failures else 0)
