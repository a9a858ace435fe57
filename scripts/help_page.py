#!/usr/bin/python3
"""The Japanese user guide as a web page, the help that kelvo.exe opens.

  help_page.py SOURCE_DIR OUT_FILE

writes docs/README-ja.txt as a UTF-8 HTML page: its title line as the
heading, a table of contents, and every "■" section as a heading with its
text kept as it is laid out (the guide aligns its columns with spaces).
Where the guide says "this file" (このファイル), the page says "this page".
The version is the program's own version text (string IDS_VERSION of the
resource script).
"""
import html
import os
import re
import sys

STYLE = """body { font-family: "Yu Gothic UI", Meiryo, "MS PGothic", sans-serif;
       max-width: 54em; margin: 2em auto; padding: 0 1em; line-height: 1.6; }
pre { font-family: "MS Gothic", "ＭＳ ゴシック", monospace; white-space: pre-wrap; }
h2 { border-bottom: 1px solid #999; }"""


# The text guide speaks of itself as "this file"; on the page those lines
# speak of the page. Each wording must be found, so that a change to the
# guide cannot leave the page calling itself README-ja.txt.
AS_PAGE = [
    ("README-ja.txt  このファイル", "README-ja.txt  このページのテキスト版"),
    ("kelvo-help.html このファイルの Web ページ版", "kelvo-help.html このページ"),
    ("kelvo-help.html(このファイルの Web ページ版)", "kelvo-help.html(このページ)"),
]


def as_page(text):
    for said, meant in AS_PAGE:
        if said not in text:
            raise SystemExit(f"docs/README-ja.txt no longer says {said!r}: update help_page.py")
        text = text.replace(said, meant)
    if "このファイル" in text:
        raise SystemExit("docs/README-ja.txt speaks of このファイル where help_page.py "
                         "does not know it: update AS_PAGE")
    return text


def version(source):
    with open(os.path.join(source, "res", "kelvo.rc"), encoding="utf-8") as f:
        m = re.search(r'^\s*IDS_VERSION\s+"([^"]+)"', f.read(), re.M)
    if not m:
        raise SystemExit("no IDS_VERSION in res/kelvo.rc")
    return m.group(1)


def guide_text(source, name, ver):
    with open(os.path.join(source, "docs", name), encoding="utf-8") as f:
        return f.read().replace("@VERSION@", ver)


def blocks(lines):
    """Runs of lines between blank lines, with their common indent removed."""
    out, run = [], []
    for line in lines + [""]:
        if line.strip():
            run.append(line.rstrip())
        elif run:
            indent = min(len(s) - len(s.lstrip(" ")) for s in run)
            out.append("\n".join(s[indent:] for s in run))
            run = []
    return out


def page(text):
    """The page of the Japanese guide's text."""
    lines = as_page(text).splitlines()
    title = lines[0].strip()
    sections, current = [], None
    intro = []
    for line in lines[2:]:  # below the title and its underline
        if line.startswith("■"):
            current = (line[1:].strip(), [])
            sections.append(current)
        elif current:
            current[1].append(line)
        else:
            intro.append(line)
    out = ["<!DOCTYPE html>", '<html lang="ja">', "<head>", '<meta charset="utf-8">',
           f"<title>{html.escape(title)}</title>", f"<style>\n{STYLE}\n</style>", "</head>",
           "<body>", f"<h1>{html.escape(title)}</h1>"]
    for block in blocks(intro):
        out.append("<p>" + html.escape(block.replace("\n", "")) + "</p>")
    out.append("<h2>目次</h2>")
    out.append("<ul>")
    for i, (heading, _) in enumerate(sections, 1):
        out.append(f'<li><a href="#s{i}">{html.escape(heading)}</a></li>')
    out.append("</ul>")
    for i, (heading, body) in enumerate(sections, 1):
        out.append(f'<h2 id="s{i}">{html.escape(heading)}</h2>')
        for block in blocks(body):
            out.append("<pre>" + html.escape(block) + "</pre>")
    out += ["</body>", "</html>", ""]
    return "\r\n".join(out).encode("utf-8")


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    source, target = sys.argv[1:]
    data = page(guide_text(source, "README-ja.txt", version(source)))
    with open(target + ".part", "wb") as f:
        f.write(data)
    os.replace(target + ".part", target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
