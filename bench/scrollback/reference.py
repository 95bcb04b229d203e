"""Times the reference Python renderer drawing transcript entries as the transcript draws them:
each line a styled Text (or Markdown printed to truecolor ANSI and read back with from_ansi, or
plain text filled by textwrap), rendered into lines at the log's width.

    reference.py rerender <entries_file> <terminal_width> <min_seconds>
    reference.py assistant <markdown_file> <terminal_width> <min_seconds>
"""
import io
import os
import sys
import textwrap

# The timing loop is the styled benchmark's (its folder first, so that its module is found).
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "styled"))
from reference import time_per_run  # noqa: E402

from rich.console import Console
from rich.markdown import Markdown
from rich.text import Text

MARKERS = ("```", "###", "**", "- ", "1. ", "`")


def read_entries(path):
    out = []
    with open(path, "rb") as fh:
        while True:
            head = fh.readline()
            if not head:
                return out
            kind, length = head.split()
            out.append((kind.decode(), fh.read(int(length)).decode("utf-8")))
            fh.read(1)


class Log:
    """What a log widget does with each write: render the renderable into lines at its width."""

    def __init__(self, terminal_width):
        self.terminal_width = terminal_width
        self.width = terminal_width - 3 - 2  # padding, scroll bar, the transcript's margin
        self.console = Console(width=self.width, force_terminal=True, color_system="truecolor")
        self.options = self.console.options.update_width(self.width)
        self.lines = []

    def write(self, renderable):
        self.lines.extend(self.console.render_lines(renderable, self.options, pad=True))

    def assistant(self, text):
        self.write(Text())
        avail_w = max(self.terminal_width - 6, 40)
        if any(m in text for m in MARKERS):
            buf = io.StringIO()
            console = Console(file=buf, width=avail_w - 2, force_terminal=True,
                              color_system="truecolor")
            console.print(Markdown(text, code_theme="monokai"))
            for line in buf.getvalue().split("\n"):
                self.write(Text.from_ansi("  " + line))
            return
        for para in text.split("\n"):
            wrapped = textwrap.fill(para, width=avail_w - 2) if para.strip() else ""
            for line in (wrapped.split("\n") if wrapped else [""]):
                self.write(Text("  " + line))

    def draw(self, kind, text):
        if kind == "user":
            self.write(Text())
            t = Text()
            t.append("❯ ", style="bold #5f87ff")
            t.append(text, style="bold white")
            self.write(t)
        elif kind == "assistant":
            self.assistant(text)
        elif kind == "info":
            self.write(Text())
            self.write(Text("  " + text, style="dim"))
        elif kind == "error":
            t = Text()
            t.append("  ✗ ", style="bold red")
            t.append(text, style="red")
            self.write(t)


def main():
    mode, path, width, min_seconds = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
    if mode == "rerender":
        entries = read_entries(path)

        def rerender():
            log = Log(width)
            for kind, text in entries:
                log.draw(kind, text)
        print("%.9f" % time_per_run(rerender, min_seconds))
    elif mode == "assistant":
        with open(path, encoding="utf-8") as fh:
            text = fh.read()
        print("%.9f" % time_per_run(lambda: Log(width).assistant(text), min_seconds))
    else:
        sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    main()
