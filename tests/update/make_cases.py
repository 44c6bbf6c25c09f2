#!/usr/bin/env python3
"""Makes the reference tables of the update tests: update_cases.inc.

Python's own integers are the independent reader here: the large-integer
cases (decimal and hexadecimal reads, modular powers) come from pow() and
format(), and the signed notices are made with an RSA key pair this script
generates itself (a fixed seed, so the table is reproducible). The private
exponent never leaves this script; the tests only get the modulus.

Run from anywhere:  python3 tests/update/make_cases.py
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20261210)


# --- primes and the test key ---------------------------------------------
def is_probable_prime(n):
    if n < 2:
        return False
    small = [2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37]
    for p in small:
        if n % p == 0:
            return n == p
    d, s = n - 1, 0
    while d % 2 == 0:
        d //= 2
        s += 1
    for _ in range(40):
        a = rng.randrange(2, n - 1)
        x = pow(a, d, n)
        if x in (1, n - 1):
            continue
        for _ in range(s - 1):
            x = pow(x, 2, n)
            if x == n - 1:
                break
        else:
            return False
    return True


def prime(bits):
    while True:
        c = rng.getrandbits(bits) | (3 << (bits - 2)) | 1
        if is_probable_prime(c):
            return c


def key_pair():
    e = 65537
    while True:
        p, q = prime(256), prime(256)
        n = p * q
        phi = (p - 1) * (q - 1)
        if p != q and n.bit_length() == 512 and phi % e != 0:
            return n, pow(e, -1, phi)


N, D = key_pair()
N_OTHER, D_OTHER = key_pair()
assert len(format(N, "X")) == 128


# --- the notice check value, written from its definition ------------------
def crc16(data):
    reg = 0
    for byte in data:
        for bit in range(7, -1, -1):
            top = (reg >> 15) & 1
            reg = (reg << 1) & 0xFFFF
            if top != ((byte >> bit) & 1):
                reg ^= 0x1021
    return reg ^ 0x2010


assert crc16(b"abc") == 0xBDC6 and crc16(b"") == 0x2010


def notice_bytes(date_word, body=None, crc_delta=0):
    body = body if body is not None else bytes(rng.randrange(256) for _ in range(54))
    head = date_word.to_bytes(4, "little") + body
    return head + ((crc16(head) + crc_delta) & 0xFFFF).to_bytes(2, "little")


def sign(value, n=N, d=D):
    assert value < n
    return pow(value, d, n)


def noisy(digits, extra=0):
    """Scatters letters, blanks and line breaks between the digits."""
    out = []
    for ch in digits:
        out.append(ch)
        if rng.random() < 0.15:
            out.append(rng.choice(["x", " ", "\r\n", "Q", "\t", "-"]))
    return "".join(out) + "z" * extra


def page(block, before="HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", after="</html>\r\n"):
    return before + "[DATA1]" + block + "[EDATA1]" + after


# --- an independent check, to make sure each label is right ---------------
def check(text):
    if not text or len(text) >= 9990:
        return "TooLong" if text else "NoPage"
    a, b = text.find("[DATA1]"), text.find("[EDATA1]")
    if a < 0 or b < 0:
        return "NoMarkers"
    n = b - a - 7
    if n < 1 or n > 300:
        return "BadBlockSize"
    digits = "".join(c for c in text[a + 7:b] if c.isdigit() and c.isascii())
    m = pow(int(digits or "0"), 65537, N)
    h = format(m, "X")
    if len(h) // 2 != 60:
        return "BadLength"
    raw = bytes.fromhex(h[:120])
    if crc16(raw[:58]) != int.from_bytes(raw[58:60], "little"):
        return "BadCheckValue"
    d = int.from_bytes(raw[:4], "little") & 0x0FFFFFFF
    if not (20100301 < d < 21100225):
        return "OutOfDateWindow"
    return "Offer"


def date_with_low_byte_under_16():
    d = 20200101
    while d & 0xFF >= 0x10:
        d += 1
    return d


notice_cases = []


def add(name, text, expect):
    got = check(text)
    assert got == expect, (name, got, expect)
    notice_cases.append((name, text, expect))


good = sign(int.from_bytes(notice_bytes(20260115), "big"))
add("plain notice", page(str(good)), "Offer")
add("noise between the digits", page(noisy(str(good))), "Offer")
for date, expect in [(20100301, "OutOfDateWindow"), (20100302, "Offer"),
                     (21100224, "Offer"), (21100225, "OutOfDateWindow"),
                     (0x0FFFFFFF, "OutOfDateWindow")]:
    sig = sign(int.from_bytes(notice_bytes(date), "big"))
    add("date %d" % date, page(str(sig)), expect)
sig = sign(int.from_bytes(notice_bytes(0xF0000000 | 20100302), "big"))
add("high four bits of the date word set", page(str(sig)), "Offer")
raw = notice_bytes(20300505)
sig = sign(int(raw.hex() + "7", 16))
add("121 hex digits, the last ignored", page(str(sig)), "Offer")
raw = notice_bytes(date_with_low_byte_under_16())
assert raw[0] < 0x10
add("leading byte below 0x10 gives 119 digits", page(str(sign(int.from_bytes(raw, "big")))), "BadLength")
sig = sign(int.from_bytes(notice_bytes(20260115, crc_delta=1), "big"))
add("check value off by one", page(str(sig)), "BadCheckValue")
sig = sign(int.from_bytes(notice_bytes(20260115), "big"), N_OTHER, D_OTHER)
add("signed with another key", page(str(sig)), check(page(str(sig))))
digits = str(good)
tampered = digits[:40] + str((int(digits[40]) + 1) % 10) + digits[41:]
add("one digit changed", page(tampered), check(page(tampered)))
add("block without digits", page("no digits here"), "BadLength")
add("no [DATA1]", "<html>" + str(good) + "[EDATA1]</html>", "NoMarkers")
add("no [EDATA1]", "<html>[DATA1]" + str(good) + "</html>", "NoMarkers")
add("[EDATA1] before [DATA1]", "[EDATA1]" + str(good) + "[DATA1]", "BadBlockSize")
add("empty block", page(""), "BadBlockSize")
pad = 300 - len(digits)
add("block of exactly 300 characters", page(digits + "x" * pad), "Offer")
add("block of 301 characters", page(digits + "x" * (pad + 1)), "BadBlockSize")
short = page(digits)
add("page of 9989 characters", short + "." * (9989 - len(short)), "Offer")
add("page of 9990 characters", short + "." * (9990 - len(short)), "TooLong")
add("second block ignored", page(digits) + page("12345"), "Offer")
assert len({c[0] for c in notice_cases}) == len(notice_cases)
for label in ("signed with another key", "one digit changed"):
    assert dict((c[0], c[2]) for c in notice_cases)[label] != "Offer"


# --- large-integer cases ---------------------------------------------------
def rand_decimal(max_digits):
    n = rng.randrange(1, max_digits + 1)
    s = str(rng.randrange(1, 10)) + "".join(str(rng.randrange(10)) for _ in range(n - 1))
    return s


dec_cases = []  # (text, hex of the value)
for _ in range(40):
    s = rand_decimal(320)
    sign_ = rng.choice(["", "", "-", "_"])
    v = -int(s) if sign_ else int(s)
    dec_cases.append((sign_ + s, format(v, "X") if v >= 0 else "-" + format(-v, "X")))
dec_cases.append(("0" * 30 + "255", "FF"))

hex_cases = []  # (text, hex of the value)
for _ in range(40):
    n = rng.randrange(1, 260)
    s = "".join(rng.choice("0123456789abcdefABCDEF") for _ in range(n))
    sign_ = rng.choice(["", "", "-", "_"])
    v = int(s, 16)
    hex_cases.append((sign_ + s, ("-" if sign_ and v else "") + format(v, "X")))

expmod_cases = []  # (base, exponent, modulus as decimal texts, result hex)
for i in range(60):
    mbits = rng.choice([1, 31, 32, 33, 64, 65, 100, 512, 512, 512, 700])
    m = rng.getrandbits(mbits) | (1 << (mbits - 1))
    if m < 2:
        m = 2
    if i % 6 == 5:
        m = -m
    b = rng.getrandbits(rng.choice([8, 200, 997, 1100])) * rng.choice([1, 1, -1])
    e = rng.choice([65537, 1, 2, 3, rng.getrandbits(64), rng.getrandbits(600)])
    if i % 10 == 7:
        while True:
            try:
                r = pow(b, -e, m)
                break
            except ValueError:
                b += 1
        e = -e
    else:
        r = pow(b, e, m)
    if b == 0:
        continue
    expmod_cases.append((str(b), str(e), str(m), ("-" + format(-r, "X")) if r < 0 else format(r, "X")))


# --- output ----------------------------------------------------------------
def c_string(s):
    out = []
    for ch in s:
        o = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif ch == '"':
            out.append('\\"')
        elif ch == "\r":
            out.append("\\r")
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif 32 <= o < 127:
            out.append(ch)
        else:
            raise ValueError(ch)
    # break long literals so the file stays readable
    parts, cur = [], ""
    for tok in out:  # never split an escape sequence
        if len(cur) >= 100:
            parts.append(cur)
            cur = ""
        cur += tok
    parts.append(cur)
    return "\n    ".join('"%s"' % p for p in parts)


lines = ["// Generated by make_cases.py: do not edit. Reference values from Python's",
         "// integers and an RSA test key made by that script.", "",
         "static const char kTestModulusHex[] = \"%s\";" % format(N, "X"), "",
         "struct NoticeCase { const char* name; const char* page; NoticeVerdict expect; };",
         "static const NoticeCase kNoticeCases[] = {"]
for name, text, expect in notice_cases:
    lines.append("  {\"%s\",\n    %s,\n    NoticeVerdict::%s}," % (name, c_string(text), expect))
lines += ["};", "", "struct TextCase { const char* text; const char* hex; };",
          "static const TextCase kDecimalCases[] = {"]
lines += ["  {%s,\n    %s}," % (c_string(t), c_string(h)) for t, h in dec_cases]
lines += ["};", "static const TextCase kHexCases[] = {"]
lines += ["  {%s,\n    %s}," % (c_string(t), c_string(h)) for t, h in hex_cases]
lines += ["};", "", "struct ExpModCase { const char* base; const char* exponent; const char* modulus; const char* hex; };",
          "static const ExpModCase kExpModCases[] = {"]
lines += ["  {%s,\n    %s,\n    %s,\n    %s}," % tuple(c_string(x) for x in c) for c in expmod_cases]
lines += ["};", ""]
with open(os.path.join(HERE, "update_cases.inc"), "w") as f:
    f.write("\n".join(lines))
print("notice cases %d, decimal %d, hex %d, expmod %d" %
      (len(notice_cases), len(dec_cases), len(hex_cases), len(expmod_cases)))
