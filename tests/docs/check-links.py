#!/usr/bin/env python3
"""Every relative link in README.md and docs/*.md names a file that exists and, after '#',
a heading of that file (anchors as the usual Markdown renderers make them)."""
import pathlib, re, sys

root = pathlib.Path(sys.argv[1])
pages = [root / "README.md"] + sorted((root / "docs").glob("*.md"))

def anchors(page):
    text = re.sub(r"^```.*?^```", "", page.read_text(), flags=re.S | re.M)
    slugs = set()
    for heading in re.findall(r"^#+\s+(.*)$", text, flags=re.M):
        slug = re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")
        slugs.add(slug)
    return slugs

broken = []
for page in pages:
    for target in re.findall(r"\]\(([^)\s]+)\)", page.read_text()):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        dest = (page.parent / path).resolve() if path else page
        if not dest.exists():
            broken.append(f"{page.relative_to(root)}: {target}: no such file")
        elif anchor and dest.suffix == ".md" and anchor not in anchors(dest):
            broken.append(f"{page.relative_to(root)}: {target}: no such heading")
print("\n".join(broken) if broken else f"{len(pages)} pages, every link resolves")
sys.exit(1 if broken else 0)
