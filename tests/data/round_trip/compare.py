#!/usr/bin/python3
"""Compares a drawing with the one saved from it (Debian's python3-ezdxf).

Usage: compare.py INPUT OUTPUT LAYER...  (the layers the command may add entities on)

Prints one line per problem, nothing when the output keeps the input whole:
- the version, the code page group and the handle use of the input;
- every record of the input with a handle is in the output with the same groups, and ezdxf
  reads it with the same attributes and XDATA; without handles, the input's entities are the
  first ones of the output's model space, in order, with the same attributes;
- ezdxf's auditor finds no error and nothing to fix that the input does not have already
  (messages compared without handles, which ezdxf gives R12 records as it reads them; its
  R12 reader reports the SEQEND of every POLYLINE, even in the files it wrote itself);
- what is new is on the given layers (entities) or a table record, block or their parts.
"""
import re
import sys

import ezdxf
from ezdxf.lldxf.tagger import ascii_tags_loader

src, dst, layers = sys.argv[1], sys.argv[2], set(sys.argv[3:])
problems = []


def problem(text):
    problems.append(text)


def records(path, encoding):
    """Group lists by handle, and the header's groups."""
    with open(path, encoding=encoding, errors="surrogateescape") as f:
        tags = list(ascii_tags_loader(f, skip_comments=False))
    recs, cur = [], []
    for t in tags:
        if t.code == 0 and cur:
            recs.append(cur)
            cur = []
        cur.append((t.code, t.value))
    recs.append(cur)
    by_handle = {}
    for r in recs:
        if r[0][1] == "SECTION":
            continue
        if r[0][1] == "TABLE":  # its entry count grows with the records a command adds
            r = [t for t in r if t[0] != 70]
        for code, value in r[1:]:
            if code in (5, 105):
                by_handle[value.upper()] = r
                break
    header = next((r for r in recs if len(r) > 1 and r[1] == (2, "HEADER")), [])
    return by_handle, header


def variable(header, name):
    for i, (code, value) in enumerate(header):
        if code == 9 and value == name and i + 1 < len(header):
            return header[i + 1][1]
    return None


def read(path):
    """A drawing that names no code page is read as the Japanese offices' CP932."""
    with open(path, "rb") as f:
        head = f.read(1 << 16)
    named = b"$DWGCODEPAGE" in head or b"AC1021" in head or b"AC1024" in head or \
        b"AC1027" in head or b"AC1032" in head
    return ezdxf.readfile(path) if named else ezdxf.readfile(path, encoding="cp932")


a, b = read(src), read(dst)
if a.dxfversion != b.dxfversion:
    problem(f"version {a.dxfversion} became {b.dxfversion}")
ra, ha = records(src, a.encoding)
rb, hb = records(dst, b.encoding)
for name in ("$ACADVER", "$DWGCODEPAGE", "$INSUNITS", "$HANDLING"):
    # A drawing that named no code page is saved naming the CP932 it was read in, once the
    # command wrote Japanese text into it: the one header change allowed.
    if name == "$DWGCODEPAGE" and variable(ha, name) is None and variable(hb, name) == "ANSI_932":
        continue
    if variable(ha, name) != variable(hb, name):
        problem(f"{name} {variable(ha, name)} became {variable(hb, name)}")

if ra:
    for h, r in ra.items():
        if h not in rb:
            problem(f"record {h} ({r[0][1]}) is missing")
        elif rb[h] != r:
            problem(f"record {h} ({r[0][1]}) changed")
    # R12 has no owners, plot styles or materials, and other drawings may lack some of the
    # objects a reference names: ezdxf makes them up as it reads, with handles from $HANDSEED
    # on, which the save raised. A reference to such a record is not compared.
    r12 = a.dxfversion == "AC1009"

    def made_up(doc, raw, value):
        if not isinstance(value, str) or value.upper() in raw:
            return False
        try:
            return int(value, 16) >= int(doc.header.get("$HANDSEED", "0"), 16) or r12
        except ValueError:
            return False

    def reference(k):
        return k == "owner" or k == "layout" or (k.endswith("handle") and k != "handle")

    def attribs(doc, raw, e):
        return {k: v for k, v in e.dxfattribs().items()
                if not (reference(k) and ((k == "owner" and r12) or made_up(doc, raw, v)))}

    for h, e in a.entitydb.items():
        f = b.entitydb.get(h)
        if f is None or h not in ra:  # ezdxf's own handle for a record that has none
            continue
        if e.dxftype() != f.dxftype() or attribs(a, ra, e) != attribs(b, rb, f):
            problem(f"{e.dxftype()} {h} reads differently")
        if getattr(e, "xdata", None) and str(e.xdata.data) != str(f.xdata.data):
            problem(f"XDATA of {h} reads differently")
    new = [h for h in b.entitydb.keys() if h not in a.entitydb]
else:
    if rb:
        problem("the output has handles, the input had none")
    ea, eb = list(a.modelspace()), list(b.modelspace())
    ignore = {"handle", "owner"}
    for i, e in enumerate(ea):
        f = eb[i] if i < len(eb) else None
        if f is None or e.dxftype() != f.dxftype() or {
                k: v for k, v in e.dxfattribs().items() if k not in ignore} != {
                k: v for k, v in f.dxfattribs().items() if k not in ignore}:
            problem(f"model space entity {i} ({e.dxftype()}) reads differently")
    new = [e.dxf.handle for e in eb[len(ea):]]

# Handles from $HANDSEED on are ezdxf's own, given to records it made up as it read.
seed = int(b.header.get("$HANDSEED", "0"), 16)
for h in new:
    e = b.entitydb.get(h)
    if int(h, 16) >= seed:
        continue
    if e is None or not e.dxf.is_supported("layer"):
        continue
    if e.dxftype() in ("BLOCK", "ENDBLK"):
        continue
    owner = b.entitydb.get(e.dxf.owner)
    in_model = owner is not None and owner.dxftype() == "BLOCK_RECORD" and \
        owner.dxf.name.upper() == "*MODEL_SPACE"
    if in_model and e.dxf.layer not in layers:
        problem(f"new {e.dxftype()} {h} on layer {e.dxf.layer}")

def unnumbered(message):
    return re.sub(r"#[0-9A-Fa-f]+", "#", message)


input_audit = a.audit()
known = set(unnumbered(f.message) for f in input_audit.fixes + input_audit.errors)
# ezdxf's R12 reader drops the SEQEND of every POLYLINE it reads, its own files' too.
if a.dxfversion == "AC1009":
    known.add("Deleted SEQEND(#) entity with invalid owner handle #None.")
auditor = b.audit()
for e in auditor.errors:
    if unnumbered(e.message) not in known:
        problem(f"auditor: {e.message}")
for f in auditor.fixes:
    if unnumbered(f.message) not in known:
        problem(f"auditor fixed: {f.message}")

for p in problems:
    print(p)
