#!/usr/bin/env python3
"""Structure rules of src/ that neither the compiler nor the build can check.

    check_structure.py SRC_DIR            checks the sources below SRC_DIR, and the map of
                                          the code in the README.md beside it
    check_structure.py --unused MAP NM    names the functions of src/ that the tool never
                                          calls, from the linker map MAP of qbkit_reachability
                                          (cmake/unused_functions.cmake) and the nm program NM
    check_structure.py --self-test        checks the checker on small samples

Fails, naming each place, when
  - a function body is longer than MAX_LINES lines (from the line of its opening brace to the
    line of its closing brace), unless it is listed in LONG_FUNCTIONS below;
  - qbkit::Error is given a number as its status instead of a named ExitStatus (a plain number
    does not compile, as Error takes an ExitStatus; a cast would);
  - a compiler builtin (__builtin_...) is used outside src/common/portability.h;
  - a .cc file tests for Windows (_WIN32) outside the platform files (*_posix.cc, *_win32.cc,
    which the build picks): shared code asks the constants of common/platform.h instead;
  - the codec (src/lzss/) includes anything but common/ and lzss/ headers;
  - the map of the code in README.md names a file or folder that does not exist;
  - (with --unused) an out-of-line function of src/ is called by nothing in the tool, only by
    tests, fuzz targets or benchmarks, unless it is an exact reference (*_reference) or listed
    in UNUSED_ALLOWED below.

Layering (which subsystem may include which) is not checked here: the build enforces it, since
each library sees only the headers of the libraries it declares in DEPENDS
(cmake/qbkit_library.cmake), so a crossing include does not compile. Bare numeric exit
statuses of the mode entries are not checked here either: they return ExitStatus, to which a
number does not convert.
"""

import pathlib
import re
import subprocess
import sys

MAX_LINES = 60

# Functions allowed to be longer, each with the reason, keyed by (file below src/, name): a
# dispatch over the token table may stay one switch if it reads as a table. None today.
LONG_FUNCTIONS = {
}

PORTABILITY_HEADER = "common/portability.h"

# The .cc files of one platform; the build compiles those of its platform only.
PLATFORM_FILE = re.compile(r"_(?:posix|win32)\.cc$")
PLATFORM_TEST = re.compile(r"^\s*#\s*(?:if|elif|ifdef|ifndef)\b.*\b_WIN32\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')

# The folders whose headers the files of a folder may include, where the build would allow
# more: the codec knows nothing of archives.
INCLUDES_ALLOWED = {"lzss": {"common", "lzss"}}

# The section of README.md that says where each behaviour lives, and the paths it names.
MAP_HEADING = "## Where things live"
MAP_PATH = re.compile(r"`((?:src|tests|bench|fuzz|cmake)/[^`*<]*)`")

# Out-of-line functions of src/ that the tool does not call but that stay, by qualified name,
# each with its reason. Besides these, the exact references that differential tests compare
# with the fast paths stay: every function whose name ends in _reference.
UNUSED_ALLOWED = {
    "qbkit::decompile_to": "pending: moved by the compiler/decompiler rework",
}


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
        problems += preprocessor_problems(rel, text)
    return problems


def preprocessor_problems(rel, text):
    """The platform tests outside platform files, and the includes a folder may not make."""
    problems = []
    folder = rel.split("/")[0]
    for number, line in enumerate(text.split("\n"), 1):
        if rel.endswith(".cc") and not PLATFORM_FILE.search(rel) and PLATFORM_TEST.search(line):
            problems.append(f"src/{rel}:{number}: tests the platform; ask common/platform.h, or move the code "
                            "into a _posix.cc and a _win32.cc file")
        include = INCLUDE.search(line)
        if include and folder in INCLUDES_ALLOWED and include.group(1) not in INCLUDES_ALLOWED[folder]:
            problems.append(f"src/{rel}:{number}: includes from {include.group(1)}/; src/{folder}/ includes only "
                            + ", ".join(f"{f}/" for f in sorted(INCLUDES_ALLOWED[folder])))
    return problems


def map_problems(readme, exists):
    """The paths that the map section of `readme` names and `exists` does not find."""
    if MAP_HEADING not in readme:
        return [f"README.md: no section {MAP_HEADING!r}"]
    section = readme.split(MAP_HEADING, 1)[1].split("\n## ", 1)[0]
    return [f"README.md: the map names {path}, which does not exist"
            for path in dict.fromkeys(MAP_PATH.findall(section)) if not exists(path)]


def discarded_text_sections(map_text):
    """(object file, symbol) of every function section that the linker dropped, from the
    "Discarded input sections" part of a GNU linker map."""
    part = map_text.split("Discarded input sections", 1)[-1].split("Memory Configuration", 1)[0]
    found = []
    lines = part.split("\n")
    for k, line in enumerate(lines):
        words = line.split()
        if not line.startswith(" .text.") or not words:
            continue
        if len(words) < 4 and k + 1 < len(lines):
            words += lines[k + 1].split()
        section = re.sub(r"^\.text\.(?:unlikely\.|hot\.|startup\.|exit\.)?", "", words[0])
        found.append((words[-1], section))
    return found


def qualified_name(demangled):
    """A demangled function name without its parameters and ABI tags."""
    return re.sub(r"\[abi:\w+\]", "", demangled).split("(", 1)[0].strip()


def unused_problems(map_text, symbols, allowed):
    """The functions of src/ that the linker dropped, less those allowed to stay, and a note
    for each allowed name that is not among them. `symbols` maps an object file to
    {mangled name: (nm type, demangled name)}; `allowed` is UNUSED_ALLOWED."""
    problems, dropped = [], set()
    for obj, mangled in discarded_text_sections(map_text):
        kind, demangled = symbols.get(obj, {}).get(mangled, ("?", mangled))
        name = qualified_name(demangled)
        if kind != "T" or name.endswith("_reference"):
            continue
        dropped.add(name)
        if name in allowed:
            continue
        source = re.sub(r"^.*?/src/", "src/", obj).removesuffix(".o")
        problems.append(f"{source}: {demangled} is not called by the tool; move it to tests/support/ if tests "
                        "need it, or list it in UNUSED_ALLOWED with its reason")
    notes = [f"note: the tool calls {name} now; it can leave UNUSED_ALLOWED" for name in allowed
             if name not in dropped]
    return sorted(set(problems)), notes


def nm_symbols(nm, objects):
    """{object: {mangled name: (type, demangled name)}} of the symbols each object defines."""
    symbols = {}
    for obj in objects:
        plain = subprocess.run([nm, "--defined-only", obj], capture_output=True, text=True, check=True).stdout
        readable = subprocess.run([nm, "-C", "--defined-only", obj], capture_output=True, text=True,
                                  check=True).stdout
        entries = {}
        for raw, shown in zip(plain.splitlines(), readable.splitlines()):
            raw_words, shown_words = raw.split(maxsplit=2), shown.split(maxsplit=2)
            if len(raw_words) == 3 and len(shown_words) == 3:
                entries[raw_words[2]] = (raw_words[1], shown_words[2])
        symbols[obj] = entries
    return symbols


def check_unused(map_path, nm):
    map_text = pathlib.Path(map_path).read_text(encoding="utf-8", errors="replace")
    objects = sorted({obj for obj, _ in discarded_text_sections(map_text) if "_unoptimised.dir/" in obj})
    problems, notes = unused_problems(map_text, nm_symbols(nm, objects), UNUSED_ALLOWED)
    for line in problems + notes:
        print(line)
    print(f"unused functions: {len(problems)} problem(s)")
    return 1 if problems else 0


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
        "common/io.cc": "#include \"common/io.h\"\n#if !defined(_WIN32)\nint fd;\n#endif\n",
        "common/io_win32.cc": "#if defined(_WIN32)\n#endif\n",
        "common/platform.h": "#ifdef _WIN32\n#endif\n",
        "lzss/codec.cc": "#include \"lzss/codec.h\"\n#include \"common/bytes.h\"\n#include \"pre/archive.h\"\n",
    }
    readme = ("# x\n## Where things live\n- `src/a.cc`, `src/gone.cc`, `src/*/CMakeLists.txt`\n"
              "## Next\n`src/elsewhere.cc`\n")
    section = " .text._Z1fv   0x0 0x10 CMakeFiles/common_unoptimised.dir/src/common/f.cc.o\n"
    linker_map = ("Discarded input sections\n\n" + section +
                  " .text._Z13g_referencev\n                0x0 0x10 o/src/g.cc.o\n"
                  " .text._Z6inlinev 0x0 0x10 o/src/g.cc.o\n .text.unlikely._Z4keptv 0x0 0x10 o/src/g.cc.o\n"
                  "Memory Configuration\n" + section.replace("_Z1fv", "_Z1hv"))
    symbols = {"CMakeFiles/common_unoptimised.dir/src/common/f.cc.o": {"_Z1fv": ("T", "f()"), "_Z1hv": ("T", "h()")},
               "o/src/g.cc.o": {"_Z13g_referencev": ("T", "g_reference()"), "_Z6inlinev": ("W", "inline()"),
                                "_Z4keptv": ("T", "kept()")}}
    expected = [
        "src/a.cc:2: long_one is 61 lines long (at most 60)",
        "src/b.h:3: C is 61 lines long (at most 60)",
        "src/c.cc:73: Error given a number; use a named ExitStatus",
        "src/c.cc:74: compiler builtin outside src/common/portability.h",
        "src/common/io.cc:2: tests the platform; ask common/platform.h, or move the code into a _posix.cc and a "
        "_win32.cc file",
        "src/lzss/codec.cc:3: includes from pre/; src/lzss/ includes only common/, lzss/",
        "README.md: the map names src/gone.cc, which does not exist",
        "src/common/f.cc: f() is not called by the tool; move it to tests/support/ if tests need it, or list it "
        "in UNUSED_ALLOWED with its reason",
        "note: the tool calls gone now; it can leave UNUSED_ALLOWED",
    ]
    unused, notes = unused_problems(linker_map, symbols, {"kept": "a reason", "gone": "a reason"})
    found = problems_in(samples) + map_problems(readme, lambda path: path != "src/gone.cc") + unused + notes
    if found != expected:
        print("structure check self-test failed:\n  expected " + "\n           ".join(expected) +
              "\n  found    " + "\n           ".join(found))
        return 1
    print("structure check self-test: 1 passed, 0 failed")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if sys.argv[1:2] == ["--unused"]:
        return check_unused(sys.argv[2], sys.argv[3])
    src = pathlib.Path(sys.argv[1])
    files = {path.relative_to(src).as_posix(): path.read_text(encoding="utf-8")
             for path in src.rglob("*") if path.suffix in (".h", ".cc")}
    root = src.parent
    readme = (root / "README.md").read_text(encoding="utf-8")
    problems = problems_in(files) + map_problems(readme, lambda path: (root / path).exists())
    for problem in problems:
        print(problem)
    print(f"structure: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
