#!/usr/bin/env python3
# Runs the commands a page of the documentation shows, and follows its links.
#   usage: check_docs.py PAGE BUILD_DIR
# A ```console block holds commands after "$ ", each followed by what it
# prints: the standard output and error together, in the order a terminal
# shows them. The output must be the one shown, or, where the block has a
# line "…", hold each shown line in that order. A block ```toml file=NAME is
# written to NAME before the commands after it run. The commands run in a
# scratch folder with a copy of the examples, the scripts, and the build as
# build/native; corvane-sim and corvane-replay are on the PATH. A link to a
# file or a heading that is not there is a fault too.
import difflib, os, re, shutil, subprocess, sys, tempfile
from os.path import abspath, dirname, exists, join, normpath

FENCE = re.compile(r'^```(\w*)(?: file=(\S+))?\n(.*?)^```$', re.M | re.S)


def headings(path):
    text = FENCE.sub('', open(path, encoding='utf-8').read())
    return {re.sub(r'[^\w\- ]', '', h.strip().lower()).replace(' ', '-') for h in re.findall(r'^#+ (.*)', text, re.M)}


def link_faults(page, text):
    for target in re.findall(r'\]\(([^)\s]+)\)', FENCE.sub('', text)):
        path, _, anchor = target.partition('#')
        path = normpath(join(dirname(page), path)) if path else page
        if re.match(r'[a-z]+:', target):
            continue
        if not exists(path) or anchor and anchor not in headings(path):
            yield f'{page}: a link to {target}: no such {"heading" if exists(path) else "file"}'


def shown_in(shown, printed):
    lines = iter(printed)
    return shown == printed or '…' in shown and all(
        any(line == want for line in lines) for want in shown if want != '…')


def command_faults(page, text, build, scratch):
    root = join(dirname(abspath(__file__)), '../..')
    shutil.copytree(join(root, 'examples'), join(scratch, 'examples'))
    os.symlink(normpath(join(root, 'scripts')), join(scratch, 'scripts'))
    os.makedirs(join(scratch, 'build'))
    os.symlink(build, join(scratch, 'build/native'))
    env = dict(os.environ, PATH=f'{build}/sim:{build}/replay:' + os.environ['PATH'])
    for block in FENCE.finditer(text):
        kind, name, body = block.groups()
        if name:
            open(join(scratch, name), 'w', encoding='utf-8').write(body)
        for run in re.split(r'^\$ ', body, flags=re.M)[1:] if kind == 'console' else []:
            command, *shown = run.rstrip('\n').split('\n')
            out = subprocess.run(['stdbuf', '-oL', 'bash', '-c', command], cwd=scratch, env=env,
                                 text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT).stdout
            printed = [line.rstrip() for line in out.rstrip('\n').split('\n')] if out else []
            shown = [line.rstrip() for line in shown]
            if not shown_in(shown, printed):
                diff = difflib.unified_diff(shown, printed, 'shown', 'printed', lineterm='')
                yield f'{page}:{text.count(chr(10), 0, block.start()) + 1}: $ {command}\n' + '\n'.join(diff)


page, build = sys.argv[1], abspath(sys.argv[2])
text = open(page, encoding='utf-8').read()
with tempfile.TemporaryDirectory() as scratch:
    faults = [*link_faults(page, text), *command_faults(page, text, build, scratch)]
print('\n'.join(faults), end='\n' if faults else '')
sys.exit(1 if faults else 0)
