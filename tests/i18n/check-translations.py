#!/usr/bin/python3
"""Fails when a translation is not complete or no longer matches the sources.

Usage: check-translations.py LUPDATE TS_FILE SOURCE_FOLDER_OR_FILE...

A translation is complete when every message is translated, keeps the placeholders (%1) and
the accelerator mark (&) of its source, and lupdate run over the sources into a copy of the
file neither adds a message nor drops one.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

PLACEHOLDER = re.compile(r"%\d+")


def messages(ts_path):
    """(context, source) -> (translation element) for every message of a .ts file."""
    found = {}
    for context in ElementTree.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            found[(name, message.findtext("source"))] = message.find("translation")
    return found


def accelerators(text):
    return len(re.findall(r"&(?!&)\S", text.replace("&&", "")))


def problems_of(ts_path):
    problems = []
    for (context, source), translation in messages(ts_path).items():
        where = f"{context}: {source!r}"
        if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete"):
            problems.append(f"not translated: {where}")
            continue
        text = translation.text or ""
        if not text.strip():
            problems.append(f"empty translation: {where}")
        elif sorted(PLACEHOLDER.findall(text)) != sorted(PLACEHOLDER.findall(source)):
            problems.append(f"placeholders differ: {where} -> {text!r}")
        elif accelerators(text) != accelerators(source):
            problems.append(f"accelerator differs: {where} -> {text!r}")
    return problems


def staleness_of(lupdate, ts_path, folders):
    sources = sorted(
        [os.path.join(root, name)
         for folder in folders
         for root, _, names in os.walk(folder)
         for name in names
         if name.endswith((".cpp", ".h"))]
        + [path for path in folders if os.path.isfile(path)]
    )
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(ts_path))
        shutil.copyfile(ts_path, copy)
        subprocess.run(
            # Includes are rooted where the folders meet, as the build roots them.
            [lupdate, "-silent", "-no-obsolete", "-locations", "none", "-I", os.path.commonpath([os.path.dirname(p) if os.path.isfile(p) else p for p in folders]),
             *sources, "-ts", copy],
            check=True,
        )
        before, after = set(messages(ts_path)), set(messages(copy))
    return [f"new in the sources, missing from the translation: {c}: {s!r}" for c, s in sorted(after - before)] + [
        f"gone from the sources, still in the translation: {c}: {s!r}" for c, s in sorted(before - after)
    ]


def main(arguments):
    if len(arguments) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    lupdate, ts_path, folders = arguments[0], arguments[1], arguments[2:]
    problems = problems_of(ts_path) + staleness_of(lupdate, ts_path, folders)
    for problem in problems:
        print(f"{ts_path}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
