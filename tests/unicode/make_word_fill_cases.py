# Run from this folder: python3 make_word_fill_cases.py
# Generates the word-fill reference table from Python's textwrap.fill.
import random, textwrap
random.seed(7)
alpha = ["a","b","xy","word","-","--"," ","  ","\t","\n","é","中","1","_","!",".","\u00a0","'","?","e\u0301","\r","ab-cd","well-known","--x","&","\u2003","verylongwordwithoutbreaks"]
cases=[]
for _ in range(240):
    n=random.randint(1,12)
    t="".join(random.choice(alpha) for _ in range(n))
    w=random.randint(1,14)
    cases.append((t,w))
cases += [("The quick brown fox jumps over the lazy dog", 10), ("  leading spaces kept", 8),
          ("a" * 100, 74), ("abc " + "b" * 100, 74), ("self-evident state-of-the-art", 12),
          ("x" * 10 + "-" + "y" * 10, 15), ("em--dash between words", 6)]
def lit(s):
    out=[]
    for ch in s:
        o=ord(ch)
        if ch=='\\': out.append('\\\\')
        elif ch=='"': out.append('\\"')
        elif ch=='\n': out.append('\\n')
        elif ch=='\t': out.append('\\t')
        elif ch=='\r': out.append('\\r')
        elif o<0x20 or o==0x7f: out.append('\\%03o'%o)
        elif o<0x7f: out.append(ch)
        else: out.append('\\U%08x'%o)
    return '"'+''.join(out)+'"'
with open("word_fill_cases.inc","w") as f:
    f.write("// Generated from Python 3.11's textwrap.fill(text, width) with default options.\n")
    f.write("// {text, width, expected}\n")
    for t,w in cases:
        f.write("{%s, %d, %s},\n" % (lit(t), w, lit(textwrap.fill(t,w))))
print(len(cases))
