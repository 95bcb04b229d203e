"""Writes a deterministic mix of transcript entries (prompts, plain answers, Markdown answers with
code, info and error lines) for the transcript benchmarks.

    make_entries.py <count> <out_file>

Format: per entry a line "<kind> <byte length>", then the text and a line feed."""
import random
import sys

WORDS = ("the parser reads each line once and keeps the state it needs for the next one so "
         "nothing is scanned twice while the answer grows and the view stays where it was").split()

MARKDOWN = '''Here is the change to `load_config`:

- It reads the file named by `path` and parses it as **TOML**.
- Unknown keys raise `ConfigError`.

```python
def load_config(path: str) -> dict:
    data = tomllib.loads(Path(path).read_text(encoding="utf-8"))
    unknown = set(data) - set(DEFAULTS)
    if unknown:
        raise ConfigError(f"unknown keys: {sorted(unknown)}")
    return {**DEFAULTS, **data}
```

Call it once at start-up and pass the *result* around.
'''


def sentence(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def entries(count):
    rng = random.Random(42)
    kinds = ["user", "assistant", "markdown", "info", "error"]
    for i in range(count):
        kind = kinds[i % len(kinds)]
        if kind == "user":
            yield "user", sentence(rng, rng.randint(5, 25))
        elif kind == "assistant":
            yield "assistant", "\n\n".join(sentence(rng, rng.randint(20, 80)) for _ in range(3))
        elif kind == "markdown":
            yield "assistant", MARKDOWN
        elif kind == "info":
            yield "info", sentence(rng, 8)
        else:
            yield "error", "command failed: " + sentence(rng, 6)


def main():
    count, out = int(sys.argv[1]), sys.argv[2]
    with open(out, "wb") as fh:
        for kind, text in entries(count):
            data = text.encode("utf-8")
            fh.write(b"%s %d\n" % (kind.encode(), len(data)) + data + b"\n")


if __name__ == "__main__":
    main()
