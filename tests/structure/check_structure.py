#!/usr/bin/env python3
"""Structure rules of src/ that neither the compiler nor the build can check.

    check_structure.py SRC_DIR       checks the sources below SRC_DIR
    check_structure.py --self-test   checks the checker on small samples

Fails, naming each place, when
  - a function body is longer than MAX_LINES lines (from the line of its opening brace to the
    line of its closing brace), unless it is listed in LONG_FUNCTIONS below;
  - qbkit::Error is given a number as its status instead of a named ExitStatus (a plain number
    does not compile, as Error takes an ExitStatus; a cast would);
  - a compiler builtin (__builtin_...) is used outside src/common/portability.h.

Layering (which subsystem may include which) is not checked here: the build enforces it, since
each library sees only the headers of the libraries it declares in DEPENDS
(cmake/qbkit_library.cmake), so a crossing include does not compile. Bare numeric exit
statuses of the mode entries are not checked here either: they return ExitStatus, to which a
number does not convert.
"""

import pathlib
import re
import sys

MAX_LINES = 60

# Functions allowed to be longer, each with the reason, keyed by (file below src/, name): a
# dispatch over the token table may stay one switch if it reads as a table. None today.
LONG_FUNCTIONS = {
}

PORTABILITY_HEADER = "common/portability.h"


def strip_code(text):
    """The text with comments, string and character literals and preprocessor lines blanked
    out; line ends are kept, so line numbers stay the same."""
    out = []
    i, n = 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            # A preprocessor line, with its continuations.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append("\n")
                    i += 2
                    continue
                i += 1
            continue
        if c == "\n":
            out.append(c)
            at_line_start = True
            i += 1
            continue
        if c in " \t":
            out.append(c)
            i += 1
            continue
        at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            delim = text[i + 2:text.index("(", i)]
            end = text.index(")" + delim + '"', i) + len(delim) + 2
            out.append('""' + "\n" * text.count("\n", i, end))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


CONTAINER = re.compile(r"\b(namespace|class|struct|union|enum)\b")
FUNCTION_HEAD = re.compile(r"\)\s*(?:const|noexcept|override|final|mutable|\s)*(?:->[^;{}]*)?$")
INIT_LIST = re.compile(r"\)\s*(?:noexcept\s*)?:")
BARE_STATUS = re.compile(r"\bError\s*\(\s*(?:static_cast\s*<[^>]*>\s*\(\s*)?[-+]?\d")
NAME_BEFORE_PAREN = re.compile(r"([~\w]+(?:\s*(?:::|operator)\s*[^\s(]*)?)\s*\(")


def matching_brace(code, open_at):
    depth = 0
    for k in range(open_at, len(code)):
        if code[k] == "{":
            depth += 1
        elif code[k] == "}":
            depth -= 1
            if depth == 0:
                return k
    return len(code) - 1


def function_name(head):
    names = NAME_BEFORE_PAREN.findall(head.split("(")[0] + "(")
    return names[-1].strip() if names else "?"


def functions(code):
    """(name, first line, last line) of every function body at namespace or class scope."""
    found = []
    head_start = 0
    k = 0
    while k < len(code):
        c = code[k]
        if c in ";}":
            head_start = k + 1
        elif c == "{":
            head = code[head_start:k].strip()
            close = matching_brace(code, k)
            if "(" in head and FUNCTION_HEAD.search(head):
                found.append((function_name(head), code.count("\n", 0, k) + 1, code.count("\n", 0, close) + 1))
                k = close
                head_start = k + 1
            elif CONTAINER.search(head) and "(" not in head or head.startswith("extern"):
                head_start = k + 1  # the braces of a namespace or class: look inside
            elif INIT_LIST.search(head):
                k = close  # a member initialised with braces: the head goes on
            else:
                k = close  # an initializer
                head_start = k + 1
        k += 1
    return found


def problems_in(files):
    """The problems of `files`, a dict from a path below src/ to the file's text."""
    problems = []
    for rel, text in sorted(files.items()):
        code = strip_code(text)
        for name, first, last in functions(code):
            length = last - first + 1
            if length > MAX_LINES and (rel, name) not in LONG_FUNCTIONS:
                problems.append(f"src/{rel}:{first}: {name} is {length} lines long (at most {MAX_LINES})")
        for number, line in enumerate(code.split("\n"), 1):
            if BARE_STATUS.search(line):
                problems.append(f"src/{rel}:{number}: Error given a number; use a named ExitStatus")
            if "__builtin_" in line and rel != PORTABILITY_HEADER:
                problems.append(f"src/{rel}:{number}: compiler builtin outside src/{PORTABILITY_HEADER}")
    return problems


def self_test():
    """The checker on small samples: each rule must fire where it should and nowhere else."""
    body = lambda n: "".join(f"  x += {i};\n" for i in range(n - 2))
    samples = {
        "a.cc": "namespace q {\nint long_one() {\n" + body(61) + "}\nint fits() {\n" + body(60) + "}\n}\n",
        "b.h": "class C {\n public:\n  C() : a_{1}, b_(2) {\n" + body(61) + "  }\n  int a_, b_;\n};\n",
        "c.cc": "// { a brace in a comment\nconstexpr int kTable[] = {\n" + body(70) + "};\n"
                "void f() { const char* s = \"}\"; throw Error(kExitFailure, \"1\"); }\n"
                "void g() { throw Error(1, \"x\"); }\nint h(int v) { return __builtin_popcount(v); }\n",
        "common/portability.h": "inline int p(int v) { return __builtin_popcount(v); }\n",
    }
    expected = [
        "src/a.cc:2: long_one is 61 lines long (at most 60)",
        "src/b.h:3: C is 61 lines long (at most 60)",
        "src/c.cc:73: Error given a number; use a named ExitStatus",
        "src/c.cc:74: compiler builtin outside src/common/portability.h",
    ]
    found = problems_in(samples)
    if found != expected:
        print("structure check self-test failed:\n  expected " + "\n           ".join(expected) +
              "\n  found    " + "\n           ".join(found))
        return 1
    print("structure check self-test: 1 passed, 0 failed")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    src = pathlib.Path(sys.argv[1])
    files = {path.relative_to(src).as_posix(): path.read_text(encoding="utf-8")
             for path in src.rglob("*") if path.suffix in (".h", ".cc")}
    problems = problems_in(files)
    for problem in problems:
        print(problem)
    print(f"structure: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
