"""docs/python.md runs as written: its Python blocks, in order, print what the text blocks after them show.

`python3 tests/python/test_docs.py --update` (with the module on PYTHONPATH) writes the outputs into the
document, for a change of the document's code; a change of the numbers needs a reason first.
"""

import contextlib
import io
import json
import os
import re
import sys

import velmora

DOC = os.path.join(os.environ.get("VELMORA_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..")),
                   "docs", "python.md")
BLOCK = re.compile(r"^```(\w*)\n(.*?)^```\n", re.S | re.M)


def python_blocks(text):
    """Each Python block with the text block right after it (the output it shows), or None."""
    blocks = list(BLOCK.finditer(text))
    out = []
    for k, b in enumerate(blocks):
        if b.group(1) != "python":
            continue
        shown = None
        if k + 1 < len(blocks) and blocks[k + 1].group(1) == "text" and \
                text[b.end():blocks[k + 1].start()].strip() == "":
            shown = blocks[k + 1]
        out.append((b.group(2), shown))
    return out


def run_blocks(text, folder):
    """What every Python block prints, run in order in one namespace with folder as working directory."""
    namespace = {"__name__": "__doc__"}
    printed = []
    cwd = os.getcwd()
    os.chdir(folder)
    try:
        for code, _ in python_blocks(text):
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                exec(compile(code, DOC, "exec"), namespace)
            printed.append(out.getvalue())
    finally:
        os.chdir(cwd)
    return printed


def test_python_doc_prints_what_it_shows(tmp_path):
    with open(DOC, encoding="utf-8") as f:
        text = f.read()
    blocks = python_blocks(text)
    assert len(blocks) == 8
    printed = run_blocks(text, tmp_path)
    for (code, shown), actual in zip(blocks, printed):
        if shown is not None:
            assert actual == shown.group(2), code
    # The plots, the plan and the replayed trial's scenario were written.
    for figure in ("python-research.png", "python-fov-count.png"):
        assert (tmp_path / figure).read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert velmora.Plan.load(tmp_path / "orlo-mirrored.plan.json").name == "OrloMirrored"
    # The research figure says what made it in its own metadata.
    from PIL import Image
    made_by = json.loads(Image.open(tmp_path / "python-research.png").text["Description"])
    assert made_by["velmora"] == velmora.__version__ and made_by["fov"] == [30, 45, 60]
    assert (tmp_path / "slowest.json").stat().st_size > 0


if __name__ == "__main__" and sys.argv[1:] == ["--update"]:
    with open(DOC, encoding="utf-8") as f:
        text = f.read()
    images = os.path.join(os.path.dirname(DOC), "images")
    printed = run_blocks(text, images)
    for kept in ("slowest.json", "orlo-mirrored.plan.json"):
        os.remove(os.path.join(images, kept))
    pieces, last = [], 0
    for (code, shown), actual in zip(python_blocks(text), printed):
        if shown is not None:
            pieces.append(text[last:shown.start()] + "```text\n" + actual + "```\n")
            last = shown.end()
    pieces.append(text[last:])
    with open(DOC, "w", encoding="utf-8") as f:
        f.write("".join(pieces))
