"""Times the reference Python renderer on the same inputs as styled_bench.

    reference.py markdown <file> <width> <min_seconds>
    reference.py from_ansi <file> <min_seconds>
    reference.py ansi <file> <width>        (writes the rendered ANSI text to stdout)
"""
import io
import sys
import time

from rich.console import Console
from rich.markdown import Markdown
from rich.text import Text


def render(text, width):
    buf = io.StringIO()
    console = Console(file=buf, width=width, force_terminal=True, color_system="truecolor")
    console.print(Markdown(text, code_theme="monokai"))
    return buf.getvalue()


def time_per_run(f, min_seconds):
    f()
    runs = 0
    start = time.perf_counter()
    elapsed = 0.0
    while runs < 1 or elapsed < min_seconds:
        f()
        runs += 1
        elapsed = time.perf_counter() - start
    return elapsed / runs


def main():
    mode, path = sys.argv[1], sys.argv[2]
    with open(path, encoding="utf-8") as fh:
        text = fh.read()
    if mode == "markdown":
        width, min_seconds = int(sys.argv[3]), float(sys.argv[4])
        print("%.9f" % time_per_run(lambda: render(text, width), min_seconds))
    elif mode == "from_ansi":
        min_seconds = float(sys.argv[3])
        print("%.9f" % time_per_run(lambda: Text.from_ansi(text), min_seconds))
    elif mode == "ansi":
        sys.stdout.write(render(text, int(sys.argv[3])))
    else:
        sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    main()
