#!/usr/bin/python3
"""Fails when a window text is written as a plain literal instead of going through tr().

Usage: check-literals.py ALLOWED_TEXTS SOURCE_FOLDER...

Looks at the arguments of the calls that put text on screen (captions, titles, tool tips,
menu entries, list items, message boxes, the constructors of captioned widgets) and names
every string literal there that is neither inside tr()/translate() nor one of the allowed
texts (one a line in ALLOWED_TEXTS: program and format names, file patterns).
"""
import os
import re
import sys

SHOWING_CALLS = re.compile(
    r"\b(?:setText|setWindowTitle|setToolTip|setStatusTip|setWhatsThis|setPlaceholderText"
    r"|setInformativeText|setDetailedText|setTitle|setTabText|setItemText|setAccessibleName"
    r"|setAccessibleDescription|addAction|addMenu|addTab|addItem|addItems|addRow|insertItem"
    r"|QMessageBox::(?:information|warning|critical|question)|QMessageBox\s+\w+"
    r"|new\s+Q(?:Label|PushButton|CheckBox|RadioButton|GroupBox|Action|Menu|ToolButton))\s*[({]"
)
LITERAL = re.compile(r'(?:QStringLiteral\(\s*|QLatin1String\(\s*|u8?)?"((?:[^"\\]|\\.)*)"')
TRANSLATED = re.compile(r"(?:\btr|\btranslate|QT_TRANSLATE_NOOP|QT_TR_NOOP)\s*\($")
FILE_PATTERNS = re.compile(r"(?:\*\.\w+;?)+")
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)


def call_arguments(text, start):
    """The text from start up to the bracket that closes the one just before start."""
    depth = 1
    position = start
    while position < len(text) and depth:
        character = text[position]
        if character in "\"'":
            position += 1
            while position < len(text) and text[position] != character:
                position += 2 if text[position] == "\\" else 1
        elif character in "({":
            depth += 1
        elif character in ")}":
            depth -= 1
        position += 1
    return text[start:position]


def translated(arguments, literal_start):
    """Whether the literal at literal_start is an argument of tr() or translate()."""
    depth = 0
    for position in range(literal_start - 1, -1, -1):
        character = arguments[position]
        if character == ")":
            depth += 1
        elif character == "(":
            if depth == 0:
                return bool(TRANSLATED.search(arguments[: position + 1]))
            depth -= 1
    return False


def untranslated_texts(path, allowed):
    with open(path, encoding="utf-8") as source:
        text = COMMENT.sub(lambda match: " " * len(match.group(0)), source.read())
    found = []
    for call in SHOWING_CALLS.finditer(text):
        arguments = call_arguments(text, call.end())
        # Brackets inside texts ("information (title, ...") must not count as calls.
        blanked = LITERAL.sub(
            lambda match: match.group(0)[: match.start(1) - match.start(0)]
            + " " * len(match.group(1)) + '"', arguments)
        for literal in LITERAL.finditer(arguments):
            words = literal.group(1)
            if not re.search(r"[A-Za-z]", words) or words in allowed or FILE_PATTERNS.fullmatch(words):
                continue
            if translated(blanked, literal.start()):
                continue
            line = text.count("\n", 0, call.end() + literal.start()) + 1
            found.append(f"{path}:{line}: {words!r} is not translated")
    return found


def main(arguments):
    if len(arguments) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(arguments[0], encoding="utf-8") as listing:
        allowed = {line.rstrip("\n") for line in listing if line.strip() and not line.startswith("#")}
    problems = []
    for folder in arguments[1:]:
        for root, _, names in sorted(os.walk(folder)):
            for name in sorted(names):
                if name.endswith(".cpp"):
                    problems += untranslated_texts(os.path.join(root, name), allowed)
    print("\n".join(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
