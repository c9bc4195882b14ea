#!/usr/bin/env python3
"""Runs the commands a page of the documentation shows, and follows its links.

usage: check_docs.py PAGE BUILD_DIR

A ```console block holds commands after "$ ", each followed by what it prints:
the standard output and error together, in the order a terminal shows them.
The output must be the one shown, or, where the block has a line "…", hold
each shown line in that order. A block ```toml file=NAME is written to NAME
before the commands after it run. The commands run in a scratch folder with
a copy of the examples, the scripts, and the build as build/native;
corvane-sim and corvane-replay are on the PATH. A link to a file or a
heading that is not there is a fault too.
"""
import difflib, os, re, shutil, subprocess, sys, tempfile

FENCE = re.compile(r'^```(\w*)(?: file=(\S+))?\n(.*?)^```$', re.M | re.S)


def slug(heading):
    return re.sub(r'[^\w\- ]', '', heading.strip().lower()).replace(' ', '-')


def link_faults(page, text):
    faults = []
    for target in re.findall(r'\]\(([^)\s]+)\)', FENCE.sub('', text)):
        path, _, anchor = target.partition('#')
        if re.match(r'[a-z]+:', path):
            continue
        path = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(path):
            faults.append(f'{page}: a link to {target}: no such file')
        elif anchor:
            read = FENCE.sub('', open(path, encoding='utf-8').read())
            if anchor not in {slug(h) for h in re.findall(r'^#+ (.*)$', read, re.M)}:
                faults.append(f'{page}: a link to {target}: no such heading')
    return faults


def shown_in(shown, printed):
    if '…' not in shown:
        return shown == printed
    lines = iter(printed)
    return all(any(line == want for line in lines) for want in shown if want != '…')


def command_faults(page, text, build):
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        root = os.path.join(os.path.dirname(__file__), '../..')
        shutil.copytree(os.path.join(root, 'examples'), os.path.join(scratch, 'examples'))
        os.symlink(os.path.abspath(os.path.join(root, 'scripts')), os.path.join(scratch, 'scripts'))
        os.makedirs(os.path.join(scratch, 'build'))
        os.symlink(build, os.path.join(scratch, 'build/native'))
        env = dict(os.environ, PATH=f'{build}/sim:{build}/replay:' + os.environ['PATH'])
        for block in FENCE.finditer(text):
            kind, name, body = block.groups()
            if name:
                with open(os.path.join(scratch, name), 'w', encoding='utf-8') as f:
                    f.write(body)
            if kind != 'console':
                continue
            for run in re.split(r'^\$ ', body, flags=re.M)[1:]:
                command, *shown = run.rstrip('\n').split('\n')
                done = subprocess.run(['stdbuf', '-oL', 'bash', '-c', command], cwd=scratch,
                                      env=env, text=True, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT)
                printed = [line.rstrip() for line in done.stdout.rstrip('\n').split('\n')]
                shown = [line.rstrip() for line in shown]
                if not shown_in(shown, printed if done.stdout else []):
                    diff = difflib.unified_diff(shown, printed, 'shown', 'printed', lineterm='')
                    line = text.count('\n', 0, block.start()) + 1
                    faults.append(f'{page}:{line}: $ {command}\n' + '\n'.join(diff))
    return faults


page, build = sys.argv[1], os.path.abspath(sys.argv[2])
text = open(page, encoding='utf-8').read()
faults = link_faults(page, text) + command_faults(page, text, build)
if faults:
    print('\n'.join(faults))
sys.exit(1 if faults else 0)
