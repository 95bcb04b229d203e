// Prints a sample document through a forced-terminal Console, the way the transcript renders
// an assistant answer. Usage: markdown_demo [width] [file.md]   (width defaults to 92)

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "styled/console.h"
#include "styled/markdown/markdown.h"

namespace {

constexpr const char* SAMPLE = R"md(# Vellumine styled text

## What it draws

Paragraphs wrap at the console width, with *emphasis*, **strong** text, ~~struck~~ words,
`inline code`, a [link](https://example.org/docs) and an autolink <https://example.org>.
A line ending in two spaces  
breaks hard. An image: ![logo](https://example.org/logo.png)

### Lists

- first bullet
- second bullet with a longer text that has to wrap onto the next line of the terminal because it is long
  - nested bullet
    - deeper still
- [x] a finished task
- [ ] an open task

8. eight
9. nine (numbers are right-aligned)
10. ten

> A block quote with **bold** inside.
> > And a nested quote.

```python
import os

def greet(name: str) -> str:
    # Say hello.
    return f"hello {name}" + str(42)
```

```sh
for f in *.txt; do echo "$f"; done  # loop
```

    indented code block

---

| Language | Extension | Typed |
|:---------|:---------:|------:|
| Python   | `.py`     | no    |
| C++      | `.cpp`    | yes   |
| Rust     | `.rs`     | yes   |

<div>HTML is shown as text</div>

#### Heading four
##### Heading five
###### Heading six
)md";

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 1 ? std::atoi(argv[1]) : 92;
  std::string text = SAMPLE;
  if (argc > 2) {
    std::ifstream in(argv[2]);
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
  }
  std::string out;
  styled::Console console({.width = width > 0 ? width : 92,
                           .force_terminal = true,
                           .color_system = styled::ColorSystem::truecolor,
                           .file = &out});
  console.print(styled::Markdown(text, "monokai"));
  std::cout << out << std::flush;
  return 0;
}
