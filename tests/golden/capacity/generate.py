#!/usr/bin/env python3
"""Writes the large end-to-end cases of this folder.

Each document is built from a pattern, and its expected output is put
together from the same pattern by the rules of the translation (list
creation per start tag, numbered repeats, slots, attribute statements), not
taken from a run of the program. Run it from anywhere; it rewrites the case
folders next to this file.
"""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
PROLOGUE = b'<?xml version="1.0"?>\n'


def write_case(name, document, stdout, stderr=b"", status=0):
    folder = os.path.join(HERE, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for file_name, data in (("input.xml", document), ("expected_stdout", stdout),
                            ("expected_stderr", stderr), ("expected_status", b"%d\n" % status)):
        with open(os.path.join(folder, file_name), "wb") as out:
            out.write(data)


def digits(length):
    """A text of the given length whose every position can be told apart."""
    block = b"".join(b"%07d|" % k for k in range(length // 8 + 1))
    return block[:length]


# 40 nested elements named d; below the innermost, each level holds its child
# (position 1) and then the word y (position 2, after the separator).
depth = 40
doc = PROLOGUE + b"<d>" * depth + b"x" + b"</d>y" * (depth - 1) + b"</d>\n"
paths = [b"$".join([b"d"] * (level + 1)) for level in range(depth)]
out = b"".join(path + b"_list()\n" for path in paths)
out += paths[-1] + b'[[1]]_"x"\n'
out += b"".join(paths[level] + b'[[2]]_" y"\n' for level in reversed(range(depth - 1)))
write_case("nesting_40_levels", doc, out)

# 100 distinct names at level 1, each met three times: all stay registered,
# so the second and third meetings are numbered 1 and 2.
names = [b"n%03dx" % k for k in range(100)]
doc = PROLOGUE + b"<r>" + b"".join(b"<%s>%d</%s>" % (n, round_, n) for round_ in range(3) for n in names) + b"</r>\n"
out = b"r_list()\n"
for round_ in range(3):
    for n in names:
        member = n + (b"%d" % round_ if round_ else b"")
        out += b"r$%s_list()\nr$%s[[1]]_\"%d\"\n" % (member, member, round_)
write_case("distinct_names_100_at_level_1", doc, out)

# 150 attributes on one tag, then a child tag with one: nothing carries over.
doc = PROLOGUE + b"<r " + b" ".join(b'a%d="%d"' % (k, k * 7) for k in range(150)) + b'><s b="1"/>t</r>\n'
out = b"r_list()\n" + b"".join(b'attr(r,"a%d")_"%d"\n' % (k, k * 7) for k in range(150))
out += b'r$s_list()\nattr(r$s,"b")_"1"\nr[[2]]_" t"\n'
write_case("attributes_150_on_one_tag", doc, out)

# 1000 distinct Id values on repeated elements i, i1, i2, ...
ids = [b"v%d" % k for k in range(1000)]
members = [b"i" + (b"%d" % k if k else b"") for k in range(1000)]
doc = PROLOGUE + b"<r>\n" + b"".join(b'<i Id="%s"/>\n' % v for v in ids) + b"</r>\n"
out = b"r_list()\n" + b"".join(b'r$%s_list()\nattr(r$%s,"Id")_"%s"\n' % (m, m, v) for m, v in zip(members, ids))
write_case("ids_1000_distinct", doc, out)

# The same, then a 1001st Id repeating the first: the run stops there. The
# prologue is line 0, <r> line 1, the 1000 tags lines 2 to 1001, so the
# repeat stands on line 1002.
doc = PROLOGUE + b"<r>\n" + b"".join(b'<i Id="%s"/>\n' % v for v in ids) + b'<i Id="v0"/>\n</r>\n'
duplicate = b'Error: Id = "v0" is  duplicate.\n'
report = b"Error: line 1002; XML Id\nRead ahead text: \"v0"
stderr = duplicate + report + b"\n"
out_dup = out + b"Vesko$status_NULL\nVesko$status_'" + duplicate + report + b"'"
write_case("ids_1000_then_duplicate_of_first", doc, out_dup, stderr, 1)

# 40 entities, each used once.
doc = PROLOGUE + b"".join(b'<!ENTITY e%d "value %d">\n' % (k, k) for k in range(40))
doc += b"<r " + b" ".join(b'a%d="&e%d;"' % (k, k) for k in range(40)) + b"/>\n"
out = b"r_list()\n" + b"".join(b'attr(r,"a%d")_"value %d"\n' % (k, k) for k in range(40))
write_case("entities_40", doc, out)

# An entity with a 600-byte name and a 700-byte replacement.
name = b"N" + digits(599)
value = b'"' + digits(698) + b'"'
doc = PROLOGUE + b"<!ENTITY " + name + b" " + value + b">\n<r k=\"&" + name + b';"/>\n'
write_case("entity_long_name_and_value", doc, b'r_list()\nattr(r,"k")_' + value + b"\n")

# A 30000-byte attribute value (quotes included).
value = b'"' + digits(29998) + b'"'
doc = PROLOGUE + b"<r k=" + value + b"/>\n"
write_case("attribute_value_30000_bytes", doc, b'r_list()\nattr(r,"k")_' + value + b"\n")

# A 25000-byte word in content.
word = digits(25000)
doc = PROLOGUE + b"<r>" + word + b"</r>\n"
write_case("word_25000_bytes", doc, b'r_list()\nr[[1]]_"' + word + b'"\n')

# A 25000-byte quoted string in content: its quotes are escaped.
text = digits(24998)
doc = PROLOGUE + b'<r>"' + text + b'"</r>\n'
write_case("string_25000_bytes_in_content", doc, b'r_list()\nr[[1]]_"\\"' + text + b'\\""\n')

# A text run of 5000 words, 35000 bytes with the separators.
words = [b"w%05d" % k for k in range(5000)]
doc = PROLOGUE + b"<r>\n" + b"\n".join(words) + b"\n</r>\n"
write_case("text_run_35000_bytes", doc, b'r_list()\nr[[1]]_"' + b" ".join(words) + b'"\n')

# The same words in a vector element.
doc = PROLOGUE + b"<DataVector>" + b" ".join(words) + b"</DataVector>\n"
write_case("vector_run_35000_bytes", doc, b"DataVector_list()\nDataVector[[1]]_c(" + b",".join(words) + b")\n")

# A 600-byte element name, repeated, and a 600-byte attribute name.
name = b"E" + digits(599).replace(b"|", b"x")
attr = b"A" + digits(599).replace(b"|", b"y")
doc = PROLOGUE + b"<r><" + name + b">1</" + name + b"><" + name + b" " + attr + b'="2"/></r>\n'
out = (b"r_list()\nr$" + name + b"_list()\nr$" + name + b'[[1]]_"1"\n'
       b"r$" + name + b"1_list()\nattr(r$" + name + b'1,"' + attr + b'")_"2"\n')
write_case("names_600_bytes", doc, out)
