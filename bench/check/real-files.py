#!/usr/bin/env python3
"""Runs tovelo-check and xmllint over the XML files of this machine and compares their verdicts.

Usage: bench/check/real-files.py TOVELO_CHECK [FOLDER...]   (default folders: /usr/share /etc /usr/lib)

Files whose only errors in xmllint are entities it cannot define (their declarations sit in an
external DTD that it does not load) count as accepted. Prints how many of the accepted files
tovelo-check calls well formed, every accepted file it faults with its message, and every file
that xmllint rejects for a reason the check covers but that tovelo-check calls well formed.
"""
import collections
import os
import re
import subprocess
import sys

PATTERNS = re.compile(r"\.(xml|svg|xsl|xslt|ui|xhtml|docbook|rng|xsd|glade|policy|kcfg|page|gir|xbel|metainfo\.xml)$")
MAX_SIZE = 4 * 1024 * 1024
UNDEFINED = re.compile(r"Entity '[^']*' not defined")
# xmllint's messages for faults of the kinds the check covers: unclosed, unopened or overlapping
# elements, a second root, attribute quoting, an "&" that begins no reference, standalone.
COVERED = re.compile(
    r"Opening and ending tag mismatch|Premature end of data in tag|EndTag: '</' not found|"
    r"Extra content at the end of the document|AttValue: \" or ' expected|attributes construct error|"
    r"Couldn't find end of Start Tag|EntityRef: expecting ';'|xmlParseEntityRef: no name|"
    r"standalone accepts only 'yes' or 'no'|StartTag: invalid element name")


def files(folders):
    for folder in folders:
        for root, dirs, names in os.walk(folder):
            dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(root, d))]
            for name in names:
                path = os.path.join(root, name)
                if PATTERNS.search(name) and os.path.isfile(path) and not os.path.islink(path):
                    if 0 < os.path.getsize(path) <= MAX_SIZE:
                        yield path


def xmllint(path):
    r = subprocess.run(["xmllint", "--noout", "--nonet", path], capture_output=True, text=True, errors="replace")
    errors = [l for l in r.stderr.splitlines() if re.match(r".*:\d+: .*error", l)]
    if r.returncode == 0:
        return "accepted", ""
    if errors and all(UNDEFINED.search(e) for e in errors):
        return "accepted", "undefined entities"
    # Bytes that the declared encoding cannot decode: the parser stops there, whatever follows.
    if "input conversion failed" in r.stderr:
        return "rejected", "encoding error"
    return "rejected", " | ".join(errors[:3]) or r.stderr.strip()[:200]


def check(tool, path):
    r = subprocess.run([tool, path], capture_output=True, text=True, errors="replace")
    return r.returncode, (r.stdout.strip() or r.stderr.strip()).splitlines()[-1:] or [""]


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    tool = sys.argv[1]
    folders = sys.argv[2:] or ["/usr/share", "/etc", "/usr/lib"]
    accepted = rejected = well = undefined = 0
    false_faults = []
    missed = []
    kinds = collections.Counter()
    for path in sorted(set(files(folders))):
        verdict, why = xmllint(path)
        status, message = check(tool, path)
        if verdict == "accepted":
            accepted += 1
            undefined += why == "undefined entities"
            if status == 0:
                well += 1
            else:
                false_faults.append((path, message[0]))
                kinds[re.sub(r"<[^>]*>|&\S*", "X", message[0].split(": ", 1)[-1])] += 1
        else:
            rejected += 1
            if status == 0 and COVERED.search(why):
                missed.append((path, why))
    print(f"files: {accepted + rejected}; xmllint accepts {accepted} ({undefined} of them with undefined "
          f"entities only), rejects {rejected}")
    share = 100.0 * well / accepted if accepted else 100.0
    print(f"tovelo-check: 'bien formé' for {well} of the {accepted} accepted files ({share:.2f}%)")
    for kind, n in kinds.most_common():
        print(f"  {n:5d}  {kind}")
    for path, message in false_faults:
        print(f"  fault on an accepted file: {path}: {message}")
    print(f"files that xmllint rejects for a reason the check covers, called well formed: {len(missed)}")
    for path, why in missed:
        print(f"  {path}: {why}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
