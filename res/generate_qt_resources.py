#!/usr/bin/env python3
"""Writes the Qt program's resources from the Windows program's: res/resource.h and quorvel.rc.

The resource script stays the one source of the dialogs' controls, texts and dialog-unit
positions; the Qt program builds its dialogs from what this writes:

  HEADER   the ids of res/resource.h (and the dialog commands IDOK, IDCANCEL) as C++ constants
  SOURCE   the DialogTemplate of each dialog named with --dialog, and ResourceString(), the
           string table

It reads only what those two files use: #define lines, DIALOGEX blocks (CAPTION; STYLE,
EXSTYLE and FONT are accepted and left to the Qt program), the control statements PUSHBUTTON,
DEFPUSHBUTTON, LTEXT, CTEXT, EDITTEXT, ICON and CONTROL (an auto check box, an etched line, a
progress bar), and STRINGTABLE. Anything else inside a dialog it is asked for is an error, so
that a control the Qt program would miss stops the build instead.

Both files are UTF-8 without a byte-order mark; text beyond ASCII only below
`#pragma code_page(65001)`, as rc.exe needs to read them the same way. Any other encoding is an
error.

Usage: generate_qt_resources.py --rc quorvel.rc --ids resource.h --header OUT.h --source OUT.cpp
       --dialog IDD_MAIN=kMainDialogTemplate [--dialog ...]
"""

import argparse
import os
import re
import sys

# What <windows.h> gives the script and the code: the dialog manager's commands.
SYSTEM_IDS = {"IDOK": "1", "IDCANCEL": "2"}

CONTROL_KINDS = {
    "PUSHBUTTON": "kPushButton",
    "DEFPUSHBUTTON": "kDefPushButton",
    "LTEXT": "kLeftText",
    "CTEXT": "kCenteredText",
    "EDITTEXT": "kEdit",
    "ICON": "kIcon",
}
# CONTROL statements: window class and the style that makes the kind (None: any style).
CONTROL_CLASS_KINDS = {("BUTTON", "BS_AUTOCHECKBOX"): "kAutoCheckBox",
                       ("STATIC", "SS_ETCHEDHORZ"): "kHorizontalRule",
                       ("MSCTLS_PROGRESS32", None): "kProgressBar"}
DIALOG_OPTIONS = {"STYLE", "EXSTYLE", "CAPTION", "FONT"}
UTF8_CODE_PAGE = 65001
INT_PATTERN = r"\(?\s*(-?\s*(?:0[xX][0-9a-fA-F]+|\d+))[lLuU]*\s*\)?"


class RcError(Exception):
    pass


def decode_script(data, path):
    """The script's text: UTF-8, and beyond ASCII only below `#pragma code_page(65001)`."""
    if data.startswith((b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff")) or b"\0" in data:
        raise RcError("%s: not UTF-8 without a byte-order mark" % path)
    lines = []
    utf8 = False
    for number, raw in enumerate(data.splitlines(keepends=True), 1):
        pragma = re.match(rb"\s*#\s*pragma\s+code_page\s*\(\s*(\d+)\s*\)", raw)
        if pragma:
            if int(pragma.group(1)) != UTF8_CODE_PAGE:
                raise RcError("%s:%d: code page %s: only %d, UTF-8, is read"
                              % (path, number, pragma.group(1).decode(), UTF8_CODE_PAGE))
            utf8 = True
        if not utf8 and not raw.isascii():
            raise RcError("%s:%d: text beyond ASCII before #pragma code_page(%d)"
                          % (path, number, UTF8_CODE_PAGE))
        try:
            lines.append(raw.decode("utf-8"))
        except UnicodeDecodeError as error:
            raise RcError("%s:%d: not UTF-8: %s" % (path, number, error))
    return "".join(lines)


def parse_int(text):
    match = re.fullmatch(INT_PATTERN, text.strip())
    return int(match.group(1).replace(" ", ""), 0) if match else None


def read_defines(text):
    """NAME -> integer literal of every `#define NAME INTEGER`, in the order they stand."""
    ids = {}
    for line in text.splitlines():
        match = re.match(r"\s*#\s*define\s+(\w+)\s+(.*?)\s*(?://.*)?$", line)
        if match and parse_int(match.group(2)) is not None:
            ids[match.group(1)] = match.group(2)
    return ids


TOKEN = re.compile(r"""
    (?P<space>\s+|//[^\n]*|/\*.*?\*/)
  | (?P<directive>\#[^\n]*)
  | (?P<string>"(?:[^"]|"")*")
  | (?P<number>(?:0[xX][0-9a-fA-F]+|\d+)[lLuU]*)
  | (?P<word>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<punct>[,|()+\-])
""", re.VERBOSE | re.DOTALL)

ESCAPES = {"n": "\n"}


class Token:
    def __init__(self, kind, text, line):
        self.kind, self.text, self.line = kind, text, line

    def upper(self):
        return self.text.upper() if self.kind == "word" else self.text


def tokenize(text, path):
    tokens = []
    position, line = 0, 1
    while position < len(text):
        match = TOKEN.match(text, position)
        if not match:
            raise RcError("%s:%d: cannot read %r" % (path, line, text[position:position + 20]))
        if match.lastgroup not in ("space", "directive"):
            tokens.append(Token(match.lastgroup, match.group(), line))
        line += match.group().count("\n")
        position = match.end()
    return tokens


def unquote(token, path):
    """A string literal's text: "" is a quote, and \\n a line feed."""
    body = token.text[1:-1].replace('""', '"')
    out = []
    i = 0
    while i < len(body):
        if body[i] == "\\":
            if i + 1 >= len(body) or body[i + 1] not in ESCAPES:
                raise RcError("%s:%d: unsupported escape in %s" % (path, token.line, token.text))
            out.append(ESCAPES[body[i + 1]])
            i += 2
        else:
            out.append(body[i])
            i += 1
    return "".join(out)


class Parser:
    def __init__(self, tokens, path, ids):
        self.tokens, self.path, self.ids = tokens, path, ids
        self.at = 0

    def error(self, message, token=None):
        token = token or self.peek()
        line = token.line if token else "end"
        return RcError("%s:%s: %s" % (self.path, line, message))

    def peek(self):
        return self.tokens[self.at] if self.at < len(self.tokens) else None

    def next(self):
        token = self.peek()
        if token is None:
            raise self.error("unexpected end of the script")
        self.at += 1
        return token

    def accept(self, *texts):
        token = self.peek()
        if token is not None and token.upper() in texts:
            self.at += 1
            return True
        return False

    def expression(self):
        """The tokens of one argument: terms joined by | + -, each perhaps negated."""
        terms = []
        while True:
            while self.accept("-"):
                terms.append(self.tokens[self.at - 1])
            token = self.next()
            if token.text == "(":
                depth = 1
                terms.append(token)
                while depth:
                    token = self.next()
                    depth += {"(": 1, ")": -1}.get(token.text, 0)
                    terms.append(token)
            elif token.kind in ("word", "number", "string"):
                terms.append(token)
            else:
                raise self.error("expected a value", token)
            if self.peek() is None or self.peek().text not in ("|", "+", "-"):
                return terms
            terms.append(self.next())

    def arguments(self):
        args = [self.expression()]
        while self.accept(","):
            args.append(self.expression())
        return args

    def value(self, terms):
        """The integer an id or coordinate argument names."""
        return self.named_value(" ".join(token.text for token in terms), terms[0])

    def named_value(self, text, token):
        if parse_int(text) is not None:
            return parse_int(text)
        name = text.strip("() ")
        if name in self.ids:
            return parse_int(self.ids[name])
        raise self.error("%s is not a known integer" % text, token)

    def text(self, terms):
        if len(terms) != 1 or terms[0].kind != "string":
            raise self.error("expected a string", terms[0])
        return unquote(terms[0], self.path)

    def skip_block(self):
        depth = 1
        while depth:
            token = self.next()
            if token.upper() == "BEGIN":
                depth += 1
            elif token.upper() == "END":
                depth -= 1

    def script(self, wanted):
        dialogs, strings = {}, []
        while self.peek() is not None:
            token = self.next()
            if token.upper() == "DIALOGEX":
                name = self.tokens[self.at - 2].text
                if name in wanted:
                    dialogs[name] = self.dialog(name, token)
                else:
                    while not self.accept("BEGIN"):
                        self.next()
                    self.skip_block()
            elif token.upper() == "STRINGTABLE":
                strings += self.string_table()
            elif token.upper() == "BEGIN":
                self.skip_block()
        missing = [name for name in wanted if name not in dialogs]
        if missing:
            raise RcError("%s: no dialog %s" % (self.path, ", ".join(missing)))
        return dialogs, strings

    def dialog(self, name, keyword):
        header = self.arguments()
        if len(header) < 4:
            raise self.error("%s: a dialog needs x, y, width, height" % name, keyword)
        dialog = {"id": self.named_value(name, keyword),
                  "rect": [self.value(arg) for arg in header[:4]],
                  "caption": "", "controls": []}
        while not self.accept("BEGIN"):
            option = self.next()
            if option.upper() not in DIALOG_OPTIONS:
                raise self.error("%s: unknown dialog statement %s" % (name, option.text), option)
            args = self.arguments()
            if option.upper() == "CAPTION":
                dialog["caption"] = self.text(args[0])
        while not self.accept("END"):
            dialog["controls"].append(self.control(name))
        return dialog

    def control(self, dialog_name):
        keyword = self.next()
        statement = keyword.upper()
        args = self.arguments()
        if statement == "CONTROL":
            # CONTROL text, id, class, style, x, y, width, height
            window_class = self.text(args[2]).upper()
            styles = {token.text for token in args[3] if token.kind == "word"}
            kinds = [kind for (cls, style), kind in CONTROL_CLASS_KINDS.items()
                     if cls == window_class and (style is None or style in styles)]
            if not kinds:
                raise self.error("%s: unsupported CONTROL class %s" % (dialog_name, window_class),
                                 keyword)
            kind, text, id_arg, rect = kinds[0], self.text(args[0]), args[1], args[4:8]
        elif statement == "EDITTEXT":
            # EDITTEXT id, x, y, width, height
            kind, text, id_arg, rect = "kEdit", "", args[0], args[1:5]
        elif statement in CONTROL_KINDS:
            kind, id_arg, rect = CONTROL_KINDS[statement], args[1], args[2:6]
            text = "" if statement == "ICON" else self.text(args[0])
        else:
            raise self.error("%s: unsupported control statement %s" % (dialog_name, keyword.text),
                             keyword)
        if len(rect) != 4:
            raise self.error("%s: %s needs x, y, width, height" % (dialog_name, keyword.text),
                             keyword)
        name = " ".join(token.text for token in id_arg).strip("() ")
        if statement == "ICON" and self.value(id_arg) == -1:
            # A static icon has no id of its own: it is known by its image's.
            name = " ".join(token.text for token in args[0]).strip("() ")
        return {"name": name, "id": self.named_value(name, keyword),
                "kind": kind, "text": text, "rect": [self.value(arg) for arg in rect]}

    def string_table(self):
        if not self.accept("BEGIN"):
            raise self.error("STRINGTABLE: expected BEGIN")
        entries = []
        while not self.accept("END"):
            id_terms = self.expression()
            self.accept(",")
            name = " ".join(token.text for token in id_terms)
            entries.append((name, self.value(id_terms), self.text(self.expression())))
        return entries


def cpp_string(text):
    """A C++ literal of UTF-8 text, split after each line feed."""
    out = []
    for char in text:
        if char in '"\\':
            out.append("\\" + char)
        elif char == "\n":
            out.append('\\n"\n     "')
        elif ord(char) < 0x20 or ord(char) == 0x7F:
            out.append("\\%03o" % ord(char))
        else:
            out.append(char)
    return '"' + "".join(out) + '"'


def write_if_changed(path, text):
    """Leaves an unchanged file alone, so that what includes it is not rebuilt."""
    try:
        with open(path, encoding="utf-8") as old:
            if old.read() == text:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(text)


def header_text(ids):
    lines = ["// Written by res/generate_qt_resources.py from res/resource.h: edit that file.",
             "#pragma once", ""]
    lines += ["inline constexpr int %s = %s;" % (name, value) for name, value in ids.items()]
    return "\n".join(lines) + "\n"


def source_text(dialogs, variables, strings, header_name, ids):
    def id_expression(name, value):
        return name if name in ids else str(value)

    lines = ["// Written by res/generate_qt_resources.py from res/quorvel.rc: edit that file.",
             '#include "qt/dialog_template.h"', "", '#include "%s"' % header_name, "",
             "namespace {", "", "using Kind = ControlTemplate::Kind;", ""]
    for name, variable in variables:
        lines.append("constexpr ControlTemplate %sControls[] = {" % variable)
        for control in dialogs[name]["controls"]:
            lines.append("    {%s, \"%s\", Kind::%s, %s, {%s}}," % (
                id_expression(control["name"], control["id"]), control["name"], control["kind"],
                cpp_string(control["text"]), ", ".join(str(v) for v in control["rect"])))
        lines += ["};", ""]
    lines += ["}  // namespace", ""]
    for name, variable in variables:
        dialog = dialogs[name]
        lines.append("const DialogTemplate %s = {%s, \"%s\", %s, {%s}, %sControls};" % (
            variable, id_expression(name, dialog["id"]), name, cpp_string(dialog["caption"]),
            ", ".join(str(v) for v in dialog["rect"]), variable))
    lines += ["", "const char* ResourceString(int id) {", "  switch (id) {"]
    for name, value, text in strings:
        lines.append("    case %s:\n      return %s;" % (id_expression(name, value),
                                                        cpp_string(text)))
    lines += ["  }", '  return "";', "}"]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rc", required=True)
    parser.add_argument("--ids", required=True)
    parser.add_argument("--header", required=True)
    parser.add_argument("--header-name", default="qt/resource.h",
                        help="how the source includes the header")
    parser.add_argument("--source", required=True)
    parser.add_argument("--dialog", action="append", required=True, metavar="IDD_NAME=VARIABLE")
    options = parser.parse_args()
    variables = [tuple(item.split("=", 1)) for item in options.dialog]

    try:
        with open(options.ids, "rb") as ids_file:
            ids = dict(SYSTEM_IDS)
            ids.update(read_defines(decode_script(ids_file.read(), options.ids)))
        with open(options.rc, "rb") as rc_file:
            script = decode_script(rc_file.read(), options.rc)
        known = dict(ids)
        known.update({name: value for name, value in read_defines(script).items()
                      if name not in known})
        dialogs, strings = Parser(tokenize(script, options.rc), options.rc, known).script(
            [name for name, _ in variables])
    except RcError as error:
        sys.exit("generate_qt_resources: %s" % error)
    write_if_changed(options.header, header_text(ids))
    write_if_changed(options.source,
                     source_text(dialogs, variables, strings, options.header_name, ids))


if __name__ == "__main__":
    main()
