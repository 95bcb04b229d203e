"""The reference Python renderer redrawing the same history as `scrollback_items_bench toggle`:
every line of every entry rendered again at width 95, as a redraw from history does.

    reference.py toggle <entries> <min_seconds>
"""
import os
import sys

# The timing loop is the styled benchmark's (its folder first, so that its module is found).
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "styled"))
from reference import time_per_run  # noqa: E402

from rich.console import Console
from rich.text import Text


def one_line():
    return Text(no_wrap=True, overflow="ellipsis")


def entry_lines(i):
    n = str(i)
    k = i % 5
    if k == 0:
        line = Text()
        line.append("❯ ", "bold #5f87ff")
        line.append("please look at file_" + n + ".txt and fix the failing test number " + n,
                    "bold white")
        return [Text(""), line]
    if k == 1:
        header = one_line()
        header.append("  ▶ ", "cyan")
        header.append("I should read file_" + n + ".txt first.…", "dim italic")
        header.append("  (+2 lines)", "dim cyan")
        return [Text(""), header]
    if k == 2:
        header = Text()
        header.append("  ● ", "bold #5f87ff")
        header.append("Read", "bold #5f87ff")
        header.append("(file_" + n + ".txt)", "dim")
        return [header]
    if k == 3:
        out = []
        for j, text in enumerate(["line one of " + n, "line two", "line three"]):
            line = Text()
            line.append("    ⎿ " if j == 2 else "    │ ", "dim #5f87ff")
            line.append(text, "dim")
            out.append(line)
        return out
    return [Text(""), Text("  Checked file " + n + ": 3 problems found, 2 fixed automatically",
                           style="dim")]


def main():
    mode, entries, min_seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    if mode != "toggle":
        sys.exit("unknown mode " + mode)
    console = Console(width=95, force_terminal=True, color_system="truecolor")
    options = console.options.update_width(95)
    history = list(range(entries))

    def redraw():
        # The entries are rebuilt from their fields on every redraw, as a redraw from history
        # calls the renderers again.
        count = 0
        for i in history:
            for line in entry_lines(i):
                count += len(console.render_lines(line, options, pad=True))
        return count

    print("%.9f" % time_per_run(redraw, min_seconds))


main()
