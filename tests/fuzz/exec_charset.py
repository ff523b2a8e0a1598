#!/usr/bin/env python3
"""Copies a UTF-8 C++ source file with the non-ASCII characters of its narrow
string and character literals rewritten as octal escapes of their GBK bytes.

The product is built with g++ -fexec-charset=GBK, so "年" is the two bytes
C4 EA at run time. clang has no such option (it knows only UTF-8), and the
fuzzers must be built with clang for libFuzzer. Rewriting the literals the way
the option would gives clang sources that mean exactly what g++ compiles:
identifiers and comments stay UTF-8, which clang reads; u8, u, U and L
literals stay as written, as the option leaves them too.

usage: exec_charset.py SOURCE OUTPUT
"""
import os
import re
import subprocess
import sys

TOKEN = re.compile(
    r"""
    (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<raw>(?:u8|u|U|L)?R"(?P<delim>[^()\\\s]{0,16})\(.*?\)(?P=delim)")
  | (?P<prefix>u8|u|U|L)?(?P<literal>"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*')
  | (?P<number>\.?[0-9](?:[eEpP][+-]|[0-9A-Za-z_.'])*)
  | (?P<word>[A-Za-z_][A-Za-z0-9_]*)
    """,
    re.VERBOSE | re.DOTALL,
)
NON_ASCII = re.compile(r"[^\x00-\x7f]+")


def gbk_escapes(run, cache={}):
    # iconv, the converter g++ itself uses, so that the bytes agree exactly.
    if run not in cache:
        done = subprocess.run(["iconv", "-f", "UTF-8", "-t", "GBK"], input=run.encode("utf-8"),
                              capture_output=True, check=False)
        if done.returncode != 0:
            raise ValueError("not representable in GBK: %r" % run)
        cache[run] = "".join("\\%03o" % byte for byte in done.stdout)
    return cache[run]


def convert(text, name):
    out = []
    pos = 0
    for match in TOKEN.finditer(text):
        out.append(text[pos:match.start()])
        token = match.group(0)
        if match.group("raw") and NON_ASCII.search(token) and not token.startswith(("u", "U", "L")):
            raise ValueError("%s: non-ASCII text in a raw narrow literal: %s" % (name, token))
        if match.group("literal") and not match.group("prefix"):
            token = NON_ASCII.sub(lambda m: gbk_escapes(m.group(0)), token)
        out.append(token)
        pos = match.end()
    out.append(text[pos:])
    return "".join(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    try:
        converted = convert(text, source)
    except ValueError as error:
        sys.exit("exec_charset.py: %s" % error)
    # The line directive keeps diagnostics and stack traces pointing at the
    # file in the tree rather than at this copy.
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "w", encoding="utf-8") as f:
        f.write('#line 1 "%s"\n' % source)
        f.write(converted)


if __name__ == "__main__":
    main()
