"""Generates a benchmark tree: FILES files of under 5 kB, 100 to a folder, in one of two shapes.

nested: group###/folder#####/file#####.ext (square root of the folder count as groups)
flat:   d####/f##.ext, every folder directly under the root, short names
"""
import os
import sys

root, shape, files = sys.argv[1], sys.argv[2], int(sys.argv[3])
exts = ["txt", "jpg", "c", "html", "pdf", "dat", "png", "md"]
folders = max(1, files // 100)
per = files // folders
top = max(1, int(folders ** 0.5))
for f in range(folders):
    if shape == "nested":
        d = os.path.join(root, "group%03d" % (f % top), "folder%05d" % f)
    else:
        d = os.path.join(root, "d%04d" % f)
    os.makedirs(d, exist_ok=True)
    count = per + (1 if f < files % folders else 0)
    for i in range(count):
        stem = "file%05d" % i if shape == "nested" else "f%02d" % i
        name = os.path.join(d, "%s.%s" % (stem, exts[i % len(exts)]))
        fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        os.write(fd, b"x" * ((i * 37 + f * 11) % 5000 if shape == "flat" else (i * 37) % 5000))
        os.close(fd)
open(os.path.join(root, ".complete"), "w").close()
