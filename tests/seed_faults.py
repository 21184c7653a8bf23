#!/usr/bin/env python3
"""Seed faults into the engine one at a time and see which ones the suite catches.

    tests/seed_faults.py pick  [--seed N] [--count N] > faults.json
    tests/seed_faults.py run   faults.json --build DIR [--jobs N] [--timeout S] [--out RESULTS]
                               [--tests REGEX] [--targets T,...] [--only ID,...] [--first]

`pick` chooses sites at random over engine/src (comparisons flipped, bounds
moved by one, conditions negated, statements dropped, result codes and
truth values swapped) and writes them as a list, so that the same faults can
be run against two versions of the suite. `run` applies each fault to the
working tree, rebuilds DIR, runs ctest there and restores the file: a fault
is caught when some test fails or times out, survives when the suite
passes, and is void when the build refuses it (warnings are errors), which
is reported and does not count. Every failing test is recorded (unless
--first stops at the first), so a smaller suite can later be checked
against the faults its part caught: --only ID,... with --tests and
--targets runs just those. Run it on a clean tree: a fault that is left
behind by a killed run is undone by `git checkout engine/src`.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

RESULT_CODES = ["ERROR_SUCCESS", "ERROR_FUNCTION_FAILED", "ERROR_INVALID_PARAMETER",
                "ERROR_BAD_QUERY_SYNTAX", "ERROR_NO_MORE_ITEMS", "ERROR_INVALID_HANDLE",
                "ERROR_OPEN_FAILED", "ERROR_INVALID_DATA", "ERROR_MORE_DATA"]


def code_part(line):
    """The line without a trailing // comment, literals' contents masked; offsets stay those of the line."""
    def mask(m):
        return m.group(0)[0] + "x" * (len(m.group(0)) - 2) + m.group(0)[-1]
    stripped = re.sub(r'"(\\.|[^"\\])*"', mask, line)
    stripped = re.sub(r"'(\\.|[^'\\])*'", mask, stripped)
    cut = stripped.find("//")
    return stripped if cut < 0 else stripped[:cut]


def matching_paren(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def candidates(line):
    """Every (kind, mutated line) this line offers."""
    code = code_part(line)
    if not code.strip() or code.lstrip().startswith(("#", "*", "/*", "static_assert")):
        return []
    out = []
    swaps = [(" == ", " != ", "flip"), (" != ", " == ", "flip"),
             (" < ", " >= ", "flip"), (" > ", " <= ", "flip"),
             (" <= ", " < ", "off-by-one"), (" >= ", " > ", "off-by-one"),
             (" < ", " <= ", "off-by-one"), (" + 1", " + 2", "off-by-one"),
             (" - 1", " - 2", "off-by-one"), (" && ", " || ", "flip"),
             (" || ", " && ", "flip")]
    for old, new, kind in swaps:
        for m in re.finditer(re.escape(old), code):
            # Leave template argument lists and stream operators alone.
            if old.strip() in "<>" and ("template" in code or "<<" in code or ">>" in code):
                continue
            out.append((kind, line[:m.start()] + new + line[m.end():]))
    for m in re.finditer(r"\b(if|while) \(", code):
        open_at = m.end() - 1
        close_at = matching_paren(code, open_at)
        if close_at > 0:
            inner = line[open_at + 1:close_at]
            out.append(("negate", line[:open_at + 1] + "!(" + inner + ")" + line[close_at:]))
    for m in re.finditer(r"\bERROR_[A-Z_]+\b", code):
        for other in (c for c in RESULT_CODES if c != m.group(0)):
            out.append(("result-code", line[:m.start()] + other + line[m.end():]))
            break
    for word, other in (("return true;", "return false;"), ("return false;", "return true;")):
        if word in code:
            out.append(("result-code", line.replace(word, other, 1)))
    body = code.strip()
    # A statement that stands alone on its line: a call, an assignment, an
    # increment. Declarations, returns and control flow are not dropped.
    if (body.endswith(";") and not body.startswith(("return", "break", "continue", "case", "default",
                                                    "using", "namespace", "throw", "goto", "}"))
            and re.match(r"^[A-Za-z_][\w:.\->\[\]]*(\s*(\+\+|--|[+\-*/|&]?=[^=])|\()", body)
            and not re.match(r"^(const|auto|static|unsigned|int|bool|size_t|std::\w+|[A-Z]\w*)\s+[\w*&]", body)):
        indent = line[:len(line) - len(line.lstrip())]
        out.append(("drop", indent + ";\n"))
    return out


def pick(args):
    sites = []
    src = os.path.join(ROOT, "engine", "src")
    for folder, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            if not name.endswith(".cpp"):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8") as f:
                lines = f.readlines()
            for number, line in enumerate(lines, 1):
                for kind, mutated in candidates(line):
                    sites.append({"file": os.path.relpath(path, ROOT), "line": number, "kind": kind,
                                  "original": line, "mutated": mutated})
    rng = random.Random(args.seed)
    rng.shuffle(sites)
    # Extra sites stand by for faults the compiler refuses.
    chosen = sites[:args.count * 2]
    for i, site in enumerate(chosen, 1):
        site["id"] = i
    json.dump({"seed": args.seed, "count": args.count, "sites_in_all": len(sites), "faults": chosen},
              sys.stdout, indent=1)
    print()


def apply(fault):
    path = os.path.join(ROOT, fault["file"])
    with open(path, encoding="utf-8") as f:
        lines = f.readlines()
    # Code added above a site since the pick moves it: the nearest line that
    # still reads the same is the site.
    same = [i for i, line in enumerate(lines) if line == fault["original"]]
    if not same:
        raise SystemExit(f"{fault['file']}:{fault['line']} changed since the faults were picked")
    at = min(same, key=lambda i: abs(i - (fault["line"] - 1)))
    original = "".join(lines)
    lines[at] = fault["mutated"]
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(lines))
    return path, original


def run(args):
    with open(args.faults, encoding="utf-8") as f:
        plan = json.load(f)
    results = []
    counted = 0
    out = open(args.out, "w", encoding="utf-8") if args.out else sys.stdout
    ninja = ["ninja", "-C", args.build] + (args.targets.split(",") if args.targets else [])
    build = subprocess.run(ninja, capture_output=True, text=True)
    if build.returncode != 0:
        raise SystemExit("the unchanged tree does not build:\n" + build.stdout[-2000:])
    only = {int(i) for i in args.only.split(",")} if args.only else None
    for fault in plan["faults"]:
        if counted >= plan["count"] and only is None:
            break
        if only is not None and fault["id"] not in only:
            continue
        path, original = apply(fault)
        started = time.time()
        try:
            build = subprocess.run(ninja, capture_output=True, text=True)
            if build.returncode != 0:
                verdict, detail = "void", ["does not build"]
            else:
                counted += 1
                ctest = ["ctest", "--test-dir", args.build, "-j", str(args.jobs),
                         "--timeout", str(args.timeout)]
                ctest += ["--stop-on-failure"] if args.first else []
                ctest += ["-R", args.tests] if args.tests else []
                test = subprocess.run(ctest,
                    capture_output=True, text=True,
                    env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
                failed = re.findall(r"^\s*\d+ - (\S+).*?\(([A-Za-z ]+)\)\s*$", test.stdout, re.M)
                if test.returncode != 0:
                    verdict = "caught"
                    detail = [f"{n} ({why})" for n, why in failed] or ["ctest failed"]
                else:
                    verdict, detail = "survived", []
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        row = {"id": fault["id"], "site": f"{fault['file']}:{fault['line']}", "kind": fault["kind"],
               "verdict": verdict, "seconds": round(time.time() - started), "failing": detail}
        results.append(row)
        print(json.dumps(row), file=out, flush=True)
    caught = sum(r["verdict"] == "caught" for r in results)
    survived = sum(r["verdict"] == "survived" for r in results)
    print(f"caught {caught} of {caught + survived} faults ({survived} survived, "
          f"{sum(r['verdict'] == 'void' for r in results)} void)", file=out, flush=True)
    subprocess.run(ninja, capture_output=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("pick")
    p.add_argument("--seed", type=int, default=19)
    p.add_argument("--count", type=int, default=40)
    r = sub.add_parser("run")
    r.add_argument("faults")
    r.add_argument("--build", required=True)
    r.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    r.add_argument("--timeout", type=int, default=300)
    r.add_argument("--out")
    r.add_argument("--tests", help="ctest -R: only the tests matching this")
    r.add_argument("--targets", help="build only these ninja targets, comma-separated")
    r.add_argument("--only", help="only the faults with these ids, comma-separated")
    r.add_argument("--first", action="store_true", help="stop each run at the first failing test")
    args = parser.parse_args()
    pick(args) if args.command == "pick" else run(args)


if __name__ == "__main__":
    main()
