#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the manual, one HTML page, from the manual pages: the pages are its
one source, so the two never part. Reads the subset of man(7) the pages are
written in (.TH .SH .SS .TP .IP .PP .br .nf .fi .RS .RE, the font macros
.B .I .BR .BI .IR .RB .RI, and the escapes \\- \\e \\& \\(bu \\(de \\(en \\fB \\fI \\fR
\\fP).

    man2html.py TITLE VERSION OUTPUT PAGE.1 [PAGE.1 ...]

Exits 1, naming the line, on a request it does not know: a page that uses
more of man(7) must teach this script first."""
import html
import re
import sys

FONTS = {"B": "b", "I": "i", "R": None}


def split_args(text):
    """A request's arguments: separated by spaces, "quoted" ones whole."""
    args, cur, quoted, had = [], "", False, False
    for ch in text:
        if ch == '"':
            quoted = not quoted
            had = True
        elif ch == " " and not quoted:
            if cur or had:
                args.append(cur)
            cur, had = "", False
        else:
            cur += ch
    if cur or had:
        args.append(cur)
    return args


def inline(text, tag=None):
    """Escapes for HTML, then the roff escapes and font changes, starting in
    the font tag names (b, i, or None for roman)."""
    # The zero-width escape first: escaping for HTML would split it.
    text = html.escape(text.replace("\\&", ""), quote=False)
    text = text.replace("\\-", "-").replace("\\e", "\\").replace("\\(bu", "•")
    text = text.replace("\\(de", "°").replace("\\(en", "–")
    out, open_tag = (f"<{tag}>" if tag else ""), tag
    for part in re.split(r"(\\f[BIRP])", text):
        m = re.fullmatch(r"\\f([BIRP])", part)
        if not m:
            out += part
            continue
        if open_tag:
            out += f"</{open_tag}>"
        open_tag = FONTS.get(m.group(1))
        if open_tag:
            out += f"<{open_tag}>"
    if open_tag:
        out += f"</{open_tag}>"
    return out.replace("<b></b>", "").replace("<i></i>", "")


def font(tag, text):
    return inline(text, tag)


def alternate(macro, args):
    """.BR a b c: a in the first font, b in the second, c in the first..."""
    fonts = [FONTS[macro[0]], FONTS[macro[1]]]
    return "".join(font(fonts[i % 2], a) for i, a in enumerate(args))


class Page:
    def __init__(self, path, version):
        self.path, self.version = path, version
        self.out, self.name = [], ""
        self.para = []        # the running paragraph's pieces
        self.mode = None      # None, "dl" (inside a definition list), "ul"
        self.term_next = False
        self.pre = False

    def flush(self):
        if self.para:
            text = " ".join(self.para)
            self.out.append(text if self.mode == "ul" else f"<p>{text}</p>")
            self.para = []

    def close_lists(self):
        self.flush()
        if self.mode == "dl":
            self.out.append("</dd></dl>")
        elif self.mode == "ul":
            self.out.append("</li></ul>")
        self.mode = None

    def text(self, piece):
        if self.pre:
            self.out.append(piece)
        elif self.term_next:
            # The line after .TP is the term; what follows describes it.
            self.out.append(f"<dt>{piece}</dt><dd>")
            self.term_next = False
        else:
            self.para.append(piece)

    def run(self):
        with open(self.path, encoding="utf-8") as f:
            lines = f.read().replace("@VERSION@", self.version).split("\n")
        for number, line in enumerate(lines, 1):
            if line.startswith('.\\"') or line in (".", ""):
                continue
            if not line.startswith("."):
                self.text(inline(line))
                continue
            macro, _, rest = line[1:].partition(" ")
            args = split_args(rest)
            if macro == "TH":
                self.name = args[0].lower()
            elif macro in ("SH", "SS"):
                self.close_lists()
                level = 2 if macro == "SH" else 3
                self.out.append(f"<h{level}>{inline(' '.join(args))}</h{level}>")
            elif macro == "PP":
                self.close_lists() if self.mode == "ul" else self.flush()
            elif macro == "TP":
                self.flush()
                if self.mode == "ul":
                    self.close_lists()
                if self.mode == "dl":
                    self.out.append("</dd>")
                else:
                    self.out.append("<dl>")
                    self.mode = "dl"
                self.term_next = True
            elif macro == "IP":
                self.flush()
                if self.mode == "ul":
                    self.out.append("</li><li>")
                else:
                    self.close_lists()
                    self.out.append("<ul><li>")
                    self.mode = "ul"
            elif macro == "br":
                if self.pre:
                    continue
                self.para.append("<br>")
            elif macro == "nf":
                self.flush()
                self.out.append("<pre>")
                self.pre = True
            elif macro == "fi":
                self.out.append("</pre>")
                self.pre = False
            elif macro in ("RS", "RE"):
                continue
            elif macro in ("B", "I"):
                self.text(font(FONTS[macro], " ".join(args)))
            elif macro in ("BR", "BI", "IR", "RB", "RI", "IB"):
                self.text(alternate(macro, args))
            else:
                sys.exit(f"{self.path}:{number}: man2html.py does not know .{macro}")
        self.close_lists()
        return self.name, "\n".join(self.out)


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    title, version, output, pages = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    parts = [Page(p, version).run() for p in pages]
    toc = "".join(f'<li><a href="#{name}">{name}</a></li>' for name, _ in parts)
    body = "".join(f'<section id="{name}"><h1>{name}</h1>\n{text}\n</section>\n' for name, text in parts)
    with open(output, "w", encoding="utf-8") as f:
        f.write(f"""<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>{html.escape(title)} {html.escape(version)}</title>
<style>
body {{ font-family: Arial, sans-serif; max-width: 50em; margin: 1em auto; padding: 0 1em; line-height: 1.4; }}
h1 {{ border-bottom: 2px solid #24335a; color: #24335a; }} h2 {{ color: #24335a; }}
dt {{ font-weight: bold; margin-top: .6em; }} dd {{ margin-left: 2em; }}
pre {{ background: #eef0f4; padding: .5em; overflow-x: auto; }}
</style>
</head>
<body>
<h1>{html.escape(title)} {html.escape(version)}</h1>
<ul>{toc}</ul>
{body}</body>
</html>
""")


if __name__ == "__main__":
    main()
