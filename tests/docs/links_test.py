#!/usr/bin/env python3
"""Every relative link and picture of README.md and docs/*.md names a file or
folder that a fresh clone has: tracked by git when the tree is a git work
tree (so nothing under build/ or left uncommitted counts), else present. A
link to a heading of a page (page.md#heading) must name one of its headings."""
import glob
import os
import re
import subprocess
import sys
from urllib.parse import unquote

# [text](target) and ![alt](target), with an optional "title"; <img src="...">.
MARKDOWN_LINK = re.compile(r'!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)')
HTML_SOURCE = re.compile(r'<(?:img|a)\s[^>]*(?:src|href)="([^"]+)"')
EXTERNAL = re.compile(r"^[a-z][a-z0-9+.-]*:", re.IGNORECASE)


def tracked_paths(root):
    """The tracked files and their folders, or None outside a git work tree."""
    try:
        listed = subprocess.run(["git", "-C", root, "ls-files", "-z"], capture_output=True,
                                check=True).stdout.decode().split("\0")
    except (OSError, subprocess.CalledProcessError):
        return None
    paths = set()
    for name in filter(None, listed):
        while name:
            paths.add(name)
            name = os.path.dirname(name)
    return paths


def anchors(path):
    """The anchors a forge gives the headings of a markdown page."""
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"```.*?```", "", f.read(), flags=re.DOTALL)
    found = set()
    for heading in re.findall(r"^#+\s+(.*?)\s*$", text, flags=re.MULTILINE):
        slug = re.sub(r"[^\w\- ]", "", heading.lower().replace("`", "")).replace(" ", "-")
        found.add(slug)
    return found


def links(text):
    """The link targets of a markdown text, outside code blocks and spans."""
    text = re.sub(r"```.*?```", "", text, flags=re.DOTALL)
    text = re.sub(r"`[^`\n]*`", "", text)
    return MARKDOWN_LINK.findall(text) + HTML_SOURCE.findall(text)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), "..", ".."))
    tracked = tracked_paths(root)
    pages = [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    broken, count = [], 0
    for page in pages:
        with open(page, encoding="utf-8") as f:
            targets = links(f.read())
        for target in targets:
            if EXTERNAL.match(target) or target.startswith("#"):
                continue
            count += 1
            path = unquote(target.split("#")[0].split("?")[0])
            fragment = target.split("#")[1] if "#" in target else ""
            resolved = os.path.normpath(os.path.join(os.path.dirname(page), path))
            relative = os.path.relpath(resolved, root)
            if relative.startswith(".."):
                found = False
            elif tracked is not None:
                found = relative in tracked
            else:
                found = os.path.exists(resolved)
            if found and fragment and resolved.endswith(".md"):
                found = fragment in anchors(resolved)
            if not found:
                broken.append("%s: %s" % (os.path.relpath(page, root), target))
    print("%d relative links in %d pages" % (count, len(pages)))
    for line in broken:
        print("broken link: " + line)
    return 1 if broken or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
