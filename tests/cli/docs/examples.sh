# The examples of the README and the user guide marked to run on the example
# corpus run and print what the text shows. A block marked "runs in a copy of
# examples/corpus" starts from a fresh copy, one marked "runs after the
# example above" goes on in the same one; a block marked as the output of the
# last run is compared with what that run printed (standard output and error
# together, Windows-1251 shown as UTF-8), documents in any order, as tessel
# follows the directory's order.
command -v python3 >/dev/null || { echo "skip: python3 is not installed"; exit 77; }
python3 - "$SRC" README.md docs/user-guide.md <<'PY'
import difflib, re, shutil, subprocess, sys

src = sys.argv[1]
MARK = re.compile(r"<!-- example: (runs in a copy of examples/corpus|runs after the example above"
                  r"|output of the last example run, in any document order) -->")
EVALUATION = re.compile(r"[-+.e0-9]+(\t[-+.e0-9]+)+")


def marked_blocks(path):
    lines = open(path, encoding="utf-8").read().split("\n")
    for i, line in enumerate(lines):
        mark = MARK.fullmatch(line)
        if mark:
            end = lines.index("```", i + 2)
            yield i + 1, mark.group(1), "".join(text + "\n" for text in lines[i + 2:end])


def shown(line):
    try:
        return line.decode("utf-8")
    except UnicodeDecodeError:
        return line.decode("cp1251", errors="replace")


def documents(text):
    """Each document's lines as one group; every other line alone."""
    groups = []
    for line in text.splitlines():
        if line.startswith("docs/") or not groups or not groups[-1][0].startswith("docs/") \
                or EVALUATION.fullmatch(line):
            groups.append([line])
        else:
            groups[-1].append(line)
    return sorted(groups)


for name in sys.argv[2:]:
    output, checked = "", 0
    for line, kind, block in marked_blocks(f"{src}/{name}"):
        if kind.startswith("output"):
            if documents(output) != documents(block):
                print(f"{name}:{line}: the output differs")
                sys.stdout.writelines(difflib.unified_diff(block.splitlines(True),
                                                           output.splitlines(True)))
            checked += 1
            continue
        if kind.startswith("runs in a copy"):
            work = f"{name.replace('/', '-')}-{line}"
            shutil.copytree(f"{src}/examples/corpus", work)
        run = subprocess.run(["bash", "-e", "-c", block], cwd=work, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
        output = "\n".join(map(shown, run.stdout.split(b"\n")))
        if run.returncode != 0:
            print(f"{name}:{line}: status {run.returncode}")
    print(f"{name}: {checked} outputs as shown")
PY
