"""Writes the benchmark documents: a 2 KB answer (a list, inline code, a 15-line Python block)
and documents of about 50 KB and 1 MB built from varied sections. Deterministic."""
import sys

ANSWER = '''Here is how the `load_config` helper works, step by step:

- It reads the file named by `path` and parses it as **TOML**.
- Missing keys fall back to the defaults in `DEFAULTS`; unknown keys raise `ConfigError`.
- The result is cached, so calling it twice costs one dictionary lookup.

The implementation:

```python
import tomllib
from pathlib import Path

DEFAULTS = {"model": "fast", "timeout": 30, "retries": 3}

class ConfigError(ValueError):
    """Raised for keys the program does not know."""


def load_config(path: str) -> dict:
    data = tomllib.loads(Path(path).read_text(encoding="utf-8"))
    unknown = set(data) - set(DEFAULTS)
    if unknown:
        raise ConfigError(f"unknown keys: {sorted(unknown)}")
    return {**DEFAULTS, **data}
```

Call it once at start-up and pass the *result* around instead of the path; that keeps the
tests simple, because they can build the dictionary directly. If you need to reload the file
while the program runs, clear the cache first with `load_config.cache_clear()`.

A few things to keep in mind when you change it:

- **Types.** The values come back as the TOML types: integers stay `int`, and a quoted
  number stays a `str`. If a key must be a number, check it with `isinstance` right after
  loading, so the error names the key instead of failing later in some unrelated place.
- **Paths.** Relative paths inside the file are relative to the *current directory*, not to
  the file itself; resolve them with `Path(path).parent / value` if that matters to you.
- **Errors.** A syntax error in the file raises `tomllib.TOMLDecodeError` with the line and
  column, which is usually clear enough to show the user as it is.

That is all there is to it. If you want, I can also add a small test module that covers the
defaults, an unknown key and a file that does not parse.
'''

SECTION = '''## Section {n}: notes on module `mod_{n}`

This part explains what *module {n}* does and why it is shaped this way. The code keeps
**one concept per file**, and each function does one thing; see [the guide](https://example.org/guide/{n})
for the longer story. Inline code such as `value_{n} = compute({n})` shows up often.

1. Parse the input with `parse_{n}()`.
2. Validate it: every field must be present, and numbers must be positive.
3. Render the result; long lines wrap at the console width without breaking words unless a
   single word is wider than the whole line.

> Note: the cache is shared between threads, so every access takes the lock. A future
> version may replace it with a lock-free map.

```python
def compute(n: int) -> int:
    # A small example with a loop.
    total = 0
    for i in range(n):
        total += i * {n}
    return total
```

- first point about item {n}
  - a nested detail with `code`
- second point, with a longer sentence that wraps once the console width is reached

---
'''


def build(size):
    parts = [ANSWER]
    n = 0
    total = len(ANSWER)
    while total < size:
        s = SECTION.format(n=n)
        parts.append(s)
        total += len(s)
        n += 1
    return "\n".join(parts)


def main():
    out = sys.argv[1]
    with open(out + "/markdown_2k.md", "w", encoding="utf-8") as fh:
        fh.write(ANSWER)
    with open(out + "/markdown_50k.md", "w", encoding="utf-8") as fh:
        fh.write(build(50 * 1024))
    with open(out + "/markdown_1m.md", "w", encoding="utf-8") as fh:
        fh.write(build(1024 * 1024))


if __name__ == "__main__":
    main()
