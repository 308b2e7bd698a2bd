#!/usr/bin/env python3
"""Every command shown in the documents runs as written when pasted into bash.

    docs_examples_test.py --source DIR --bin DIR DOCUMENT...
    docs_examples_test.py --self-test

A document is Markdown (README.md) or a man page (docs/man/*.1). Each fenced block of a
Markdown file and each .EX/.EE block of a man page is one example, pasted whole. Rules:

 1. Every fenced block names its language; sh, bash and shell blocks are examples
    (use text, csv, ... for anything else).
 2. An example parses: quotes and $( ) close, no line continuation ends the block or
    runs into an empty or comment line, and no command starts with an option (a line
    whose continuation backslash is missing).
 2b. Every program it names exists: a shell builtin, a program on the PATH, a file of the
    source tree (scripts/...) or a program of the build (build/bin/...).
 3. An example ends by itself. A program that runs until it is stopped (vesgen,
    vespanel, gpsd, gpspipe, nc, socat, tail -f, scripts/run.sh) is started under
    `timeout N` (run.sh: `--seconds N`); vesgen --help/--version/--check-update,
    vespanel --version/--screenshot/--write-icon and gpspipe -n N end anyway.
 3b. The timeouts of an example add up to 120 s at most: pasted, it is back at the
    prompt within about two minutes (what run.sh builds first aside).
 4. A job started with `&` is waited for (`wait`) or stopped (`kill`) later in the
    same example.
 5. Decoders read a pipe or a finished run's file: a file that a vesgen started with
    `&` writes is read only after a `wait`.
 6. An example made only of harmless programs (vesgen, gpsdecode, gpsd, gpspipe, nc,
    python3, shell tools) whose timeouts add up to 60 s or less, touching no device,
    is run for real: in a temporary folder holding `build/bin` and `samples`, with
    vesgen on the PATH, a private TMPDIR and every port number replaced by a free one.
    It must end by itself, every vesgen in it must exit with 0 (255 after --help), and
    nothing may say "command not found" or "No such file". Examples that install,
    build or use devices are checked by rules 1 to 5 only.
"""

import argparse
import concurrent.futures
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile

UNBOUNDED = {
    # program: words that make it end by itself
    "vesgen": ("--help", "-h", "--version", "--check-update"),
    "vespanel": ("--help", "--version", "--screenshot", "--write-icon"),
    "gpsd": (),
    "gpspipe": ("-n",),
    "nc": ("-z",),
    "socat": (),
    "run.sh": ("--seconds",),
}
HARMLESS = {
    "vesgen", "gpsdecode", "gpsd", "gpspipe", "nc", "python3", "cat", "sleep", "kill", "wait",
    "echo", "grep", "head", "tail", "wc", "sort", "uniq", "cut", "tr", "sed", "awk", "printf",
    "mktemp", "true", "test", "[", "jq",
}
WRAPPERS = {"sudo", "env", "exec", "nohup", "command", "time"}
BUILTINS = {"cd", "wait", "kill", "echo", "export", "source", ".", "set", "unset", "true", "false", "test", "[",
            "printf", "read", "exit", "trap", "for", "case", "esac", "in"}
# Built only with the panel; a console-only build still documents it.
OPTIONAL_PROGRAMS = {"vespanel"}
KEYWORDS = {"if", "then", "else", "elif", "do", "while", "until", "!", "fi", "done"}
REAL_RUN_LIMIT_S = 60
PASTE_LIMIT_S = 120
MARGIN_S = 20
FAILURE_TEXTS = ("command not found", "No such file or directory", "syntax error", "Traceback")


class Example:
    def __init__(self, document, line, text):
        self.document, self.line, self.text = document, line, text

    def where(self):
        return f"{os.path.basename(self.document)}:{self.line}"


# ---------------------------------------------------------------- extraction

def markdown_examples(path, text):
    examples, problems = [], []
    fence = None
    for number, line in enumerate(text.splitlines(), 1):
        match = re.match(r"^(\s*)```\s*([\w+-]*)\s*$", line)
        if fence is None and match:
            indent, language = len(match.group(1)), match.group(2)
            if not language:
                problems.append(f"{os.path.basename(path)}:{number}: a fenced block without a language "
                                "(sh for commands, text for anything else)")
            fence = (number, indent, language, [])
        elif fence is not None and re.match(r"^\s*```\s*$", line):
            start, indent, language, body = fence
            if language in ("sh", "bash", "shell"):
                examples.append(Example(path, start + 1, "\n".join(body) + "\n"))
            fence = None
        elif fence is not None:
            fence[3].append(line[fence[1]:] if line[:fence[1]].strip() == "" else line)
    return examples, problems


ROFF_ESCAPES = [(r"\(aq", "'"), (r"\(dq", '"'), (r"\(ga", "`"), (r"\(ti", "~"), (r"\(ha", "^"),
                (r"\-", "-"), (r"\&", ""), (r"\e", "\\")]


def man_examples(path, text):
    examples, body, start = [], None, 0
    for number, line in enumerate(text.splitlines(), 1):
        if line.startswith(".EX"):
            body, start = [], number + 1
        elif line.startswith(".EE") and body is not None:
            examples.append(Example(path, start, "\n".join(body) + "\n"))
            body = None
        elif body is not None and not line.startswith("."):
            line = re.sub(r"\\f(\[[A-Z]*\]|[BIRP])", "", line)
            for escape, plain in ROFF_ESCAPES:
                line = line.replace(escape, plain)
            body.append(line)
    return examples, []


# ---------------------------------------------------------------- parsing

class Command:
    def __init__(self, text, separator, line):
        self.text, self.separator, self.line = text.strip(), separator, line
        self.words = []
        self.program = None
        self.bounded = False
        self.seconds = 0.0


def split_commands(script):
    """Splits a script into simple commands with what ends each (; & | && || newline)."""
    commands, problems = [], []
    current, quote, depth, line, i = [], None, 0, 1, 0
    heredocs = []

    def emit(separator):
        text = "".join(current)
        if text.strip():
            commands.append(Command(text, separator, line))
        current.clear()

    n = len(script)
    while i < n:
        c = script[i]
        if quote == "'":
            current.append(c)
            quote = None if c == "'" else quote
            i += 1
            continue
        if c == "\\":
            if i + 1 >= n or script[i + 1:] == "\n":
                problems.append(f"line {line}: the example ends with a line continuation")
                i += 1
                continue
            if script[i + 1] == "\n":
                following = script[i + 2:].split("\n", 1)[0]
                if not following.strip() or following.strip().startswith("#"):
                    problems.append(f"line {line}: a line continuation runs into an empty or comment line")
                line += 1
                i += 2
                continue
            current.append(script[i:i + 2])
            i += 2
            continue
        if quote == '"':
            current.append(c)
            quote = None if c == '"' else quote
            line += c == "\n"
            i += 1
            continue
        if c in "'\"":
            quote = c
            current.append(c)
            i += 1
            continue
        if script.startswith("$(", i):
            depth += 1
            current.append("$(")
            i += 2
            continue
        if depth and c in "()":
            depth += 1 if c == "(" else -1
            current.append(c)
            i += 1
            continue
        if depth:
            current.append(c)
            i += 1
            continue
        if c == "#" and (not current or current[-1] in " \t\n"):
            while i < n and script[i] != "\n":
                i += 1
            continue
        if script.startswith("<<", i) and not script.startswith("<<<", i):
            match = re.match(r"<<-?\s*(['\"]?)(\w+)\1", script[i:])
            if match:
                heredocs.append(match.group(2))
                current.append(match.group(0))
                i += len(match.group(0))
                continue
        if c == "\n":
            emit("\n")
            i += 1
            line += 1
            for delimiter in heredocs:
                while i < n:
                    end = script.find("\n", i)
                    end = n if end < 0 else end
                    body_line = script[i:end]
                    i, line = end + 1, line + 1
                    if body_line.strip() == delimiter:
                        break
                else:
                    problems.append(f"the here-document {delimiter} never ends")
            heredocs = []
            continue
        if c in ";&|":
            two = script[i:i + 2]
            if two in ("&&", "||"):
                emit(two)
                i += 2
                continue
            if c == "&" and current and current[-1] in "<>":
                current.append(c)  # 2>&1, >&-
                i += 1
                continue
            if two in ("&>", "|&"):
                current.append(two)
                i += 2
                continue
            emit(c)
            i += 1
            continue
        current.append(c)
        i += 1
    if quote:
        problems.append(f"line {line}: a {quote} quote is never closed")
    if depth:
        problems.append(f"line {line}: a $( is never closed")
    emit("EOF")
    return commands, problems


def parse_duration(text):
    match = re.fullmatch(r"(\d+(?:\.\d+)?)([smhd]?)", text)
    if not match:
        return None
    return float(match.group(1)) * {"": 1, "s": 1, "m": 60, "h": 3600, "d": 86400}[match.group(2)]


def analyse(command):
    """Fills in the command's words, program and bound; returns problems."""
    text = command.text
    while True:
        stripped = re.sub(r"\$\([^()]*\)", "SUBST", text)
        if stripped == text:
            break
        text = stripped
    text = text.strip().lstrip("({").rstrip(")}").strip()
    try:
        words = shlex.split(text)
    except ValueError as error:
        return [f"line {command.line}: {error}: {command.text}"]
    while words and (words[0] in KEYWORDS or re.match(r"^[A-Za-z_][A-Za-z0-9_]*=", words[0])):
        words = words[1:]
    while words and words[0] in WRAPPERS:
        words = words[1:]
    if words and words[0] == "timeout":
        words = words[1:]
        while words and words[0].startswith("-"):
            option = words.pop(0)
            if option in ("-s", "-k", "--signal", "--kill-after"):
                words = words[1:]
        seconds = parse_duration(words[0]) if words else None
        if seconds is None:
            return [f"line {command.line}: timeout without a duration: {command.text}"]
        command.bounded, command.seconds, words = True, seconds, words[1:]
    if words and words[0] in ("bash", "sh") and len(words) > 1 and not words[1].startswith("-"):
        words = words[1:]
    command.words = words
    if not words:
        return []
    command.program = os.path.basename(words[0])
    if words[0].startswith("-"):
        return [f"line {command.line}: a command starts with an option (a missing line continuation?): "
                f"{command.text}"]
    if command.program in UNBOUNDED and not command.bounded:
        enders = UNBOUNDED[command.program]
        if not any(w in enders or w.split("=")[0] in enders for w in words[1:]):
            how = "--seconds N" if command.program == "run.sh" else "timeout N"
            return [f"line {command.line}: {command.program} runs until it is stopped; start it with "
                    f"{how}: {command.text}"]
    if command.program == "run.sh" and "--seconds" in words:
        at = words.index("--seconds")
        command.seconds = parse_duration(words[at + 1]) if at + 1 < len(words) else 0
    if command.program == "tail" and "-f" in words and not command.bounded:
        return [f"line {command.line}: tail -f runs until it is stopped; start it with timeout N"]
    return []


def output_file(command):
    """The file a vesgen command writes, if any."""
    if command.program != "vesgen":
        return None
    for at, word in enumerate(command.words):
        target = None
        if word == "--output" and at + 1 < len(command.words):
            target = command.words[at + 1]
        elif word.startswith("--output="):
            target = word.split("=", 1)[1]
        if target and not re.match(r"(?i)^(CON|COM\d+|TCP\*.*|UDP\*.*)$", target):
            return target
    return None


def missing_program(command, source, real_bin):
    word = command.words[0] if command.words else None
    if word is None or word in BUILTINS or command.program in OPTIONAL_PROGRAMS:
        return None
    if word.startswith("build/bin/"):
        found = os.path.exists(os.path.join(real_bin, word[len("build/bin/"):]))
    elif "/" in word:
        found = os.path.exists(os.path.join(source, word)) or os.path.isabs(word) and os.path.exists(word)
    else:
        # Installed programs are the build's.
        found = shutil.which(word) is not None or os.path.exists(os.path.join(real_bin, word))
    return None if found else f"line {command.line}: no program {word}: {command.text}"


def check_example(example, source=None, real_bin=None):
    """Rules 2 to 5. Returns (problems, commands)."""
    commands, problems = split_commands(example.text)
    for command in commands:
        problems += analyse(command)
        if source is not None:
            problem = missing_program(command, source, real_bin)
            problems += [problem] if problem else []
    total = sum(c.seconds for c in commands)
    if total > PASTE_LIMIT_S:
        problems.append(f"its timeouts add up to {total:.0f} s, more than {PASTE_LIMIT_S} s")
    background = [c for c in commands if c.separator == "&"]
    for job in background:
        later = commands[commands.index(job) + 1:]
        if not any(c.program in ("wait", "kill") for c in later):
            problems.append(f"line {job.line}: a job started with & is neither waited for nor killed: {job.text}")
    writing = {}  # file -> the backgrounded vesgen writing it
    for command in commands:
        if command.program == "wait":
            writing.clear()
            continue
        for name, writer in writing.items():
            if command is not writer and name in command.words + [w.lstrip("<") for w in command.words]:
                problems.append(f"line {command.line}: reads {name} while the vesgen writing it may still run; "
                                f"wait for it first: {command.text}")
        name = output_file(command)
        if name and command.separator == "&":
            writing[name] = command
    return [f"{example.where()}: {p}" for p in problems], commands


# ---------------------------------------------------------------- real runs

def runs_for_real(example, commands):
    if re.search(r"/dev/(?!null)|\bCOM\d", example.text):
        return False
    if not all(c.program is None or c.program in HARMLESS for c in commands):
        return False
    return sum(c.seconds for c in commands) <= REAL_RUN_LIMIT_S


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# A TCP* text may name a host to connect to before its port.
PORT_PATTERN = re.compile(r"(TCP\*(?:[^\s:'\"]*:)?|UDP\*[^\s:'\"]*:|tcp://[^\s:'\"]*:|udp://[^\s:'\"]*:|localhost:|-S |"
                          r"nc (?:-l )?[\d.]+ )(\d{2,5})\b")


def with_free_ports(text, ports):
    return PORT_PATTERN.sub(lambda m: m.group(1) + str(ports.setdefault(m.group(2), free_port())), text)


# Runs the built vesgen and notes how it ended; a stop signal is passed on to it. Python,
# not bash: a trapped signal cuts bash's `wait` short with a status of its own, and the
# status of a child that ended meanwhile is then lost.
WRAPPER = """#!/usr/bin/python3
import os, signal, subprocess, sys
children = []
for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    # A signal the shell made this job ignore stays ignored, for vesgen too.
    if signal.getsignal(number) != signal.SIG_IGN:
        signal.signal(number, lambda n, _: [c.send_signal(n) for c in children])
children.append(subprocess.Popen([os.path.join(os.environ["KVL_REAL_BIN"], "vesgen")] + sys.argv[1:]))
rc = children[0].wait()
rc = 128 - rc if rc < 0 else rc
with open(os.environ["KVL_RUN_LOG"], "a") as log:
    log.write(f"{rc} {' '.join(sys.argv[1:])}\\n")
sys.exit(rc)
"""


def run_example(example, commands, source, real_bin):
    problems = []
    ports = {}
    script = with_free_ports(example.text, ports)
    with tempfile.TemporaryDirectory(prefix="docs-example-") as work:
        wrapper_bin = os.path.join(work, "build", "bin")
        os.makedirs(wrapper_bin)
        os.mkdir(os.path.join(work, "tmp"))
        with open(os.path.join(wrapper_bin, "vesgen"), "w") as f:
            f.write(WRAPPER)
        os.chmod(os.path.join(wrapper_bin, "vesgen"), 0o755)
        os.symlink(os.path.join(source, "samples"), os.path.join(work, "samples"))
        log = os.path.join(work, "runs.log")
        # Debian's programs first: the python3 of a virtual environment lacks python3-ais.
        path = os.pathsep.join([wrapper_bin, "/usr/local/bin", "/usr/bin", "/bin", os.environ.get("PATH", "")])
        env = dict(os.environ, PATH=path,
                   TMPDIR=os.path.join(work, "tmp"), KVL_REAL_BIN=real_bin, KVL_RUN_LOG=log)
        limit = sum(c.seconds for c in commands) + MARGIN_S
        process = subprocess.Popen(["bash", "-c", script], cwd=work, env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        try:
            output, _ = process.communicate(timeout=limit)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            output, _ = process.communicate()
            problems.append(f"did not end by itself within {limit:.0f} s")
        text = output.decode(errors="replace")
        runs = open(log).read().splitlines() if os.path.exists(log) else []
    if process.returncode not in (0, 124) and not problems:
        problems.append(f"ended with status {process.returncode}")
    for failure in FAILURE_TEXTS:
        if failure in text:
            problems.append(f"said \"{failure}\"")
    if any(c.program == "vesgen" for c in commands) and not runs:
        problems.append("no vesgen ran")
    for run in runs:
        status, _, arguments = run.partition(" ")
        helps = any(w in ("--help", "-h") for w in arguments.split())
        # An example that prints "$?" shows a refusal on purpose.
        shown = "$?" in script
        if status != "0" and not (helps and status == "255") and not shown:
            problems.append(f"vesgen {arguments} ended with status {status}")
    if problems:
        tail = "\n    ".join(text.splitlines()[-15:])
        return [f"{example.where()}: ran for real: {p}" for p in problems] + [f"    {tail}"]
    return []


# ---------------------------------------------------------------- main

def check_document(path, source, real_bin):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    extract = markdown_examples if path.endswith(".md") else man_examples
    examples, problems = extract(path, text)
    real = []
    for example in examples:
        found, commands = check_example(example, source, real_bin)
        problems += found
        if not found and runs_for_real(example, commands):
            real.append((example, commands))
    # The runs mostly wait on timeouts and each has its own folder, ports and lock: together.
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for found in pool.map(lambda job: run_example(*job, source, real_bin), real):
            problems += found
    ran = len(real)
    print(f"{os.path.basename(path)}: {len(examples)} examples, {ran} run for real, "
          f"{len(examples) - ran} checked as text")
    return problems


SELF_TEST = [
    # (name, example, expected problem or None)
    ("missing continuation", "vesgen --output log.txt --nmea-domsg1\n--nmea-domsg5 \\\n    --vessel-lat 1\n",
     "runs until it is stopped"),
    ("option starts a line", "timeout 5 vesgen --output x --nmea-domsg1\n--nmea-domsg5\n", "starts with an option"),
    ("continuation at the end", "timeout 5 vesgen --nmea-domsg1 \\\n", "ends with a line continuation"),
    ("continuation into a blank line", "timeout 5 vesgen --nmea-domsg1 \\\n\n--nmea-domsg5\n", "empty or comment"),
    ("open quote", "timeout 5 vesgen --vessel-name 'DEMO --nmea-domsg1\n", "never closed"),
    ("unbounded tcp server", "vesgen --output 'TCP*10110' --nmea-domsg1\n", "timeout N"),
    ("unbounded gpsd", "gpsd -N -n -b tcp://127.0.0.1:10110\n", "timeout N"),
    ("unbounded client", "nc 127.0.0.1 10110 | gpsdecode\n", "timeout N"),
    ("unbounded demo", "bash scripts/run.sh\n", "--seconds N"),
    ("too long", "timeout 100 vesgen --nmea-domsg1 &\ntimeout 30 nc 127.0.0.1 1\nwait\n", "add up to 130 s"),
    ("job left running", "timeout 5 vesgen --output 'TCP*1' --nmea-domsg1 &\n", "neither waited for nor killed"),
    ("decoder before the end", "timeout 5 vesgen --output log.txt --nmea-domsg1 &\ngpsdecode < log.txt\nwait\n",
     "wait for it first"),
    ("bounded file run", "timeout 5 vesgen --output log.txt --nmea-domsg1\ngpsdecode < log.txt\n", None),
    ("piped run", "timeout 5 build/bin/vesgen --nmea-domsg1 | gpsdecode  # a comment's 'quote\n", None),
    ("waited job", "timeout 5 vesgen --output log.txt --nmea-domsg1 &\nwait\ngpsdecode < log.txt\n", None),
    ("help ends", "vesgen --help; vesgen --version\n", None),
    ("demo with seconds", "bash scripts/run.sh --seconds 30 --output 'TCP*10110'\n", None),
    ("here-document", "cat > f.csv <<'CSV'\na,\"b\nCSV\ntimeout 5 vesgen --fleet f.csv\n", None),
    ("substitution", "TMPDIR=$(mktemp -d) timeout 5 vesgen --output 'TCP*1' --nmea-domsg1 &\nwait\n", None),
]


def self_test():
    failures = 0
    for name, text, expected in SELF_TEST:
        problems, _ = check_example(Example("self-test", 1, text))
        joined = "; ".join(problems)
        good = (not problems) if expected is None else (expected in joined)
        if not good:
            failures += 1
            print(f"FAIL self-test {name}: expected {expected!r}, got {joined or 'nothing'}")
    examples, problems = markdown_examples("self.md", "```\nls\n```\n")
    if not problems:
        failures += 1
        print("FAIL self-test: an untagged fence passed")
    examples, _ = man_examples("self.1", ".EX\nvesgen \\-\\-output \\(aqTCP*1\\(aq \\e\n    \\-\\-nmea\\-domsg1\n.EE\n")
    if examples[0].text != "vesgen --output 'TCP*1' \\\n    --nmea-domsg1\n":
        failures += 1
        print(f"FAIL self-test: man page text {examples[0].text!r}")
    ports = {}
    replaced = with_free_ports("'TCP*10110' 'TCP*127.0.0.1:10111' nc -l 127.0.0.1 10111 tcp://127.0.0.1:10110", ports)
    if replaced != f"'TCP*{ports['10110']}' 'TCP*127.0.0.1:{ports['10111']}' nc -l 127.0.0.1 {ports['10111']} " \
                   f"tcp://127.0.0.1:{ports['10110']}":
        failures += 1
        print(f"FAIL self-test: ports replaced as {replaced!r}")
    print("PASS self-test" if failures == 0 else f"{failures} self-test failures")
    return failures == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source")
    parser.add_argument("--bin")
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("documents", nargs="*")
    args = parser.parse_args()
    if args.self_test:
        return 0 if self_test() else 1
    if not os.access(os.path.join(args.bin, "vesgen"), os.X_OK):
        print(f"FAIL: no vesgen in {args.bin}")
        return 1
    problems = []
    for document in args.documents:
        problems += check_document(document, os.path.abspath(args.source), os.path.abspath(args.bin))
    for problem in problems:
        print(f"FAIL {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
