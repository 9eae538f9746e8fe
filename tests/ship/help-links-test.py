#!/usr/bin/env python3
"""The help's sources and the compiled help.chm: every wizard page has a topic, the contents page
reaches every topic in one click, every link and anchor resolves, and help.chm holds every topic.
   help-links-test.py <help source folder> <help.chm>"""
import html.parser
import os
import sys

PAGE_TOPICS = ["welcome.html", "transport.html", "device.html", "image.html", "mode.html", "options.html",
               "summary.html", "burning.html", "finish.html"]
MORE_TOPICS = ["methods.html", "troubleshooting.html"]


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs, self.anchors, self.locals = [], set(), []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "a" and "href" in a:
            self.hrefs.append(a["href"])
        if tag == "a" and "name" in a:
            self.anchors.add(a["name"])
        if tag == "param" and a.get("name", "").lower() == "local":
            self.locals.append(a["value"])
        if "id" in a:
            self.anchors.add(a["id"])


def parse(path):
    p = Links()
    with open(path, encoding="cp1252") as f:
        p.feed(f.read())
    return p


def main():
    folder, chm = sys.argv[1], sys.argv[2]
    problems = []
    pages = {name: parse(os.path.join(folder, name)) for name in os.listdir(folder) if name.endswith(".html")}
    for topic in PAGE_TOPICS + MORE_TOPICS:
        if topic not in pages:
            problems.append(f"no topic {topic}")
    contents = pages.get("index.html")
    if contents:
        for topic in PAGE_TOPICS + MORE_TOPICS:
            if topic not in contents.hrefs:
                problems.append(f"the contents page does not link {topic}")
    targets = [(name, href) for name, p in pages.items() for href in p.hrefs]
    for special in ("help.hhc", "help.hhk"):
        targets += [(special, local) for local in parse(os.path.join(folder, special)).locals]
    for source, href in targets:
        if "://" in href or href.startswith("mailto:"):
            continue
        file, _, anchor = href.partition("#")
        file = file or source
        if file not in pages:
            problems.append(f"{source}: link to missing {file}")
        elif anchor and anchor not in pages[file].anchors:
            problems.append(f"{source}: link to missing anchor {file}#{anchor}")
    with open(chm, "rb") as f:
        data = f.read()
    if not data.startswith(b"ITSF"):
        problems.append(f"{chm} is not a compiled help file")
    for topic in pages:
        if ("/" + topic).encode() not in data:
            problems.append(f"{chm} lacks {topic}")
    for p in problems:
        print("FAIL:", p)
    print(f"{len(pages)} topics, {len(targets)} links checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
