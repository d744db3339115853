#!/usr/bin/env python3
"""An independent rendering of the sealed-password format, written from its description only.

It shares no code with the C++ toolkit: it makes the expected values in tests/fixtures/*.vec (check value,
generator, big numbers, key blobs and known-answer sealed values), so that the C++ results are compared
against a second reading of the rules. Run: python3 make_vectors.py OUTDIR
"""
import random
import sys

T = bytes.fromhex(
    "BD56EAF2A2F1AC2AB093D19C1B33FDD0" "3004B6DC7DDF324BF7CB459B31BB215A"
    "419FE1D94A4D9EDAA0682CC3275F8036" "3EEEFB951AFECEA834A913F0A63FD80C"
    "7824AF2352C16717F56690E7E807B860" "48E61E53F392A4728C08156E860084FA"
    "F47F8A4219F6DBCD148D5012BA3C064E" "ECB33511A1888E2B9499B77174D3E4BF"
    "3ADE960EBC0AED77FC376B037989 62C6".replace(" ", "") +
    "D7C0D27C6A8B22A35B055D0275D561E3" "188F5551AD1F0B5E85E5C257 63CA3D6C".replace(" ", "") +
    "B4C5CC70B291590D4720C84F58E001E2" "1638C46F3B0F6546BE7E2D7B82F940B5"
    "1D73F8EB26C7879725 54B128AA989DA5".replace(" ", "") + "646D7AD41081 44EF49D6AE2EDD765C2F".replace(" ", "") +
    "A71CC909699A83CF2939B9E94CFF43AB")
assert len(T) == 256 and sorted(T) == list(range(256))

PI = bytes.fromhex(
    "d978f9c419ddb5ed28e9fd794aa0d89d" "c67e37832b76538e624c6488448bfba2"
    "179a59f587b34f1361456d8d09817d32" "bd8f40eb86b77b0bf09521225c6b4e82"
    "54d66593ce60b21c7356c014a78cf1dc" "1275ca1f3bbee4d1423dd430a33cb626"
    "6fbf0eda4669075727f21d9bbc944303" "f811c7f690ef3ee706c3d52fc8661ed7"
    "08e8eade8052eef784aa72ac354d6a2a" "961ad2715a1549744b9fd05e0418a4ec"
    "c2e0416e0f51cbcc2491af50a1f47039" "997c3a8523b8b47afc02365b25559731"
    "2d5dfa98e38a92ae05df2910676cbac9" "d300e6cfe19ea82c6316013f58e289a9"
    "0d38341bab33ffb0bb480c5fb9b1cd2e" "c5f3db47e5a59c770aa62068fe7fc1ad")
assert sorted(PI) == list(range(256))


def check_value(data, s):
    st = [0] * s
    for i, d in enumerate(data):
        j = i % s
        st[j] = T[st[j] ^ st[(j + 1) % s]] ^ d
    r = len(data) % s
    return bytes(st[r:] + st[:r])


def rc2_encrypt(key, eff, block):
    L = list(key) + [0] * (128 - len(key))
    for i in range(len(key), 128):
        L[i] = PI[(L[i - 1] + L[i - len(key)]) & 255]
    t8 = (eff + 7) // 8
    tm = 255 % (1 << (8 + eff - 8 * t8))
    L[128 - t8] = PI[L[128 - t8] & tm]
    for i in range(127 - t8, -1, -1):
        L[i] = PI[L[i + 1] ^ L[i + t8]]
    K = [L[2 * i] + 256 * L[2 * i + 1] for i in range(64)]
    R = [block[2 * i] + 256 * block[2 * i + 1] for i in range(4)]
    j = 0
    s = [1, 2, 3, 5]

    def mix():
        nonlocal j
        for i in range(4):
            R[i] = (R[i] + K[j] + (R[i - 1] & R[i - 2]) + ((~R[i - 1]) & R[i - 3])) & 0xFFFF
            j += 1
            R[i] = ((R[i] << s[i]) | (R[i] >> (16 - s[i]))) & 0xFFFF

    def mash():
        for i in range(4):
            R[i] = (R[i] + K[R[i - 1] & 63]) & 0xFFFF

    for _ in range(5):
        mix()
    mash()
    for _ in range(6):
        mix()
    mash()
    for _ in range(5):
        mix()
    return bytes(b for r in R for b in (r & 255, r >> 8))


class Generator:
    def __init__(self):
        self.state = list(range(16))
        self.count = 100
        self.pos = 0
        self.block = b""
        self.index = 0

    def seed(self, b):
        if self.count:
            self.count -= 1
        self.state[self.pos] ^= b
        self.pos = (self.pos + 1) % (16 if self.count else 12)

    def draw(self):
        assert self.count == 0
        if self.index == 0:
            c = int.from_bytes(bytes(self.state[12:16]), "little")
            c = (c + 1) & 0xFFFFFFFF
            self.state[12:16] = list(c.to_bytes(4, "little"))
            self.block = rc2_encrypt(bytes(self.state[:8]), 64, bytes(self.state[8:16]))
        out = self.block[self.index]
        self.index = (self.index + 1) % 8
        return out


def sealing_generator(time):
    g = Generator()
    for s in (0, (time + 1372) & 255):
        for i in range(100):
            g.seed(i)
        for _ in range(100):
            g.seed(s)
    return g


def is_prime(n, rnd):
    if n < 2:
        return False
    for p in (2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37):
        if n % p == 0:
            return n == p
    d, r = n - 1, 0
    while d % 2 == 0:
        d //= 2
        r += 1
    for _ in range(40):
        a = rnd.randrange(2, n - 1)
        x = pow(a, d, n)
        if x in (1, n - 1):
            continue
        for _ in range(r - 1):
            x = pow(x, 2, n)
            if x == n - 1:
                break
        else:
            return False
    return True


def make_prime(bits, e, rnd):
    while True:
        c = rnd.getrandbits(bits) | (3 << (bits - 2)) | 1
        if (c - 1) % e != 0 and is_prime(c, rnd):
            import math
            if math.gcd(e, c - 1) == 1:
                return c


def le(n, length=None):
    if length is None:
        length = max(1, (n.bit_length() + 7) // 8)
    return n.to_bytes(length, "little")


def blob(kind, bits, fields):
    data = b""
    for tag, value in fields:
        data += tag.encode() + len(value).to_bytes(2, "little") + value
    data += b"MA" + (8).to_bytes(2, "little") + check_value(data, 8)
    D = len(data) + 8
    data += (D - 8).to_bytes(2, "little") + (b"PRRSAF" if kind == 4 else b"PURSAF")
    head = (0xB10B).to_bytes(4, "little") + (101).to_bytes(2, "little") + D.to_bytes(2, "little")
    head += b"\0\0\0\0" + bytes([kind, 0x30]) + bits.to_bytes(2, "little")
    return head + data + bytes(10)


def key_blobs(bits, p, q, e):
    n = p * q
    assert n.bit_length() == bits
    common = [("BV", b"1.7b"), ("BC", None), ("BA", b"0"), ("BL", bits.to_bytes(2, "little")),
              ("NN", le(n, (bits + 7) // 8)), ("EN", le(e))]
    pub = [(t, bytes([3]) if v is None else v) for t, v in common]
    priv = [(t, bytes([4]) if v is None else v) for t, v in common]
    priv += [("PN", le(p)), ("QN", le(q)), ("DP", le(pow(e, -1, p - 1))), ("DQ", le(pow(e, -1, q - 1))),
             ("CR", le(pow(q, -1, p)))]
    return blob(3, bits, pub), blob(4, bits, priv)


def seal(bits, n, e, password, time):
    g = sealing_generator(time)
    B = (bits - 1) // 8 - 8
    k = (bits + 7) // 8
    plain = password + b"\0" + bytes(145 - len(password) - 1)
    p = B - len(plain) % B
    stream = plain + bytes([p]) * p
    out = b""
    for i in range(0, len(stream), B):
        blk = b"\x0b" + stream[i:i + B]
        blk += check_value(blk, 2)
        blk += bytes(g.draw() for _ in range(5))
        m = int.from_bytes(blk, "little")
        out += pow(m, e, n).to_bytes(k, "little")
    assert len(out) == 212
    return out + bytes(288)


def main(outdir):
    rnd = random.Random(20261210)
    with open(f"{outdir}/checkvalue.vec", "w") as f:
        f.write("# Keyless check value: Input bytes, State size, expected Output state.\n")
        f.write("# Expected values from tests/module/password/make_vectors.py, an independent rendering of the rules.\n")
        cases = [(b"", 2), (b"", 8), (b"\x00", 2), (b"\x0b", 2), (b"abc", 2), (b"abc", 5), (b"1.7b", 8),
                 (bytes(range(256)), 2), (bytes(range(256)), 5), (bytes(range(256)), 8),
                 (bytes(rnd.getrandbits(8) for _ in range(98)), 2), (bytes(rnd.getrandbits(8) for _ in range(141)), 8)]
        for data, s in cases:
            f.write(f"\n[CheckValue]\nInput = {data.hex()}\nState = {s}\nOutput = {check_value(data, s).hex()}\n")
    with open(f"{outdir}/generator.vec", "w") as f:
        f.write("# The generator's first 40 bytes after the sealing's double seeding at calendar time Time.\n")
        f.write("# Expected values from tests/module/password/make_vectors.py, an independent rendering of the rules.\n")
        for time in (0, 1, 255, 1765000000, 1781049600, -1372):
            g = sealing_generator(time)
            f.write(f"\n[Generator]\nTime = {time}\nOutput = {bytes(g.draw() for _ in range(40)).hex()}\n")
    keys = []
    with open(f"{outdir}/bignum.vec", "w") as f:
        f.write("# Modular exponentiation: Base^Exponent mod Modulus = Result (hex, most significant first).\n")
        f.write("# Results from Python's pow(); the test also recomputes each with GMP's mpz_powm.\n")
        for bits in (64, 65, 127, 128, 424, 512, 847, 848, 1024):
            for e in (3, 65537, None):
                n = rnd.getrandbits(bits) | (1 << (bits - 1)) | 1
                ex = e if e is not None else rnd.getrandbits(bits)
                base = rnd.randrange(0, n)
                f.write(f"\n[PowMod]\nModulus = {n:x}\nExponent = {ex:x}\nBase = {base:x}\nResult = {pow(base, ex, n):x}\n")
        for bits in (130, 424, 700, 848, 1024):
            a = rnd.getrandbits(min(bits * 2 - 64, 2200))
            m = rnd.getrandbits(bits) | (1 << (bits - 1))
            f.write(f"\n[DivMod]\nA = {a:x}\nM = {m:x}\nQuotient = {a // m:x}\nRemainder = {a % m:x}\n")
    with open(f"{outdir}/sealed.vec", "w") as f:
        f.write("# Fixed keys (primes P and Q, exponent E), their public and private key blobs, and values\n")
        f.write("# sealed with --known-answer TIME (zero filler). Expected values from\n")
        f.write("# tests/module/password/make_vectors.py, an independent rendering of the format.\n")
        for bits, e in ((848, 65537), (848, 3), (424, 65537), (424, 3)):
            p = make_prime((bits + 1) // 2, e, rnd)
            q = make_prime(bits // 2, e, rnd)
            pub, priv = key_blobs(bits, p, q, e)
            f.write(f"\n[Key]\nBits = {bits}\nP = {p:x}\nQ = {q:x}\nE = {e}\nPublic = {pub.hex()}\nPrivate = {priv.hex()}\n")
            for password, time in ((b"", 0), (b"Secret1", 1765000000), (b"p\xe4ssw\xf6rd", 42),
                                   (bytes(rnd.randrange(1, 256) for _ in range(142)), 1781049600)):
                f.write(f"\n[Sealed]\nBits = {bits}\nE = {e}\nPassword = {password.hex()}\nTime = {time}\n"
                        f"Output = {seal(bits, p * q, e, password, time).hex()}\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
