#!/usr/bin/env python3
"""Checks the expression evaluator against an independent model.

Generates, with a fixed seed, expressions of the calculator's grammar and
evaluates each with mpmath at 64 bits (the evaluator's extended precision), in
the evaluator's order of operations, functions at 40 digits rounded to 64
bits. Each value carries a bound of how far a libm result may have moved it;
an expression whose 1e+-37 guard or domain test lies within that bound of its
boundary is left out (near-boundary cases have a table of their own). The
driver given as the first argument evaluates the same lines."""

import random
import subprocess
import sys

from mpmath import mp, mpf

mp.prec = 64
SEED = 20261210
COUNT = 4000
MAX_ORDER = 37
MAX_EXPONENT = 4931
BOUND = mpf("1e37")
MAX_INTEGER_PART = mpf("1e36")
LN10 = +mp.log(10)  # rounded to 64 bits, as the evaluator's log(10.0L)
GUARD_MARGIN = mpf("1e-12")


class Uncertain(Exception):
    pass


class Failed(Exception):
    def __init__(self, message):
        super().__init__(message)
        self.message = "Error:  " + message + "."


def ulp(x):
    if x == 0:
        return mpf(0)
    _, e = mp.frexp(x)
    return mp.ldexp(1, e - 64)


class Val:
    """A 64-bit value and a bound on how far the evaluator's may differ."""

    def __init__(self, v, err=mpf(0)):
        self.v = v
        self.err = err


def rounded(x, err_in):
    return ulp(x) if err_in > 0 else mpf(0)


def libm(f, x, derivative, extra_ulps=3):
    with mp.workdps(40):
        r = f(x.v)
        d = abs(derivative(x.v))
    r = +r  # to 64 bits
    return Val(r, d * x.err + extra_ulps * ulp(r))


def check_zero(x):
    """True when x is zero; Uncertain when its error bound reaches zero."""
    if x.err > 0 and abs(x.v) <= x.err:
        raise Uncertain()
    return x.v == 0


def check_order(order, slack):
    for edge in (-MAX_ORDER, MAX_ORDER):
        if abs(order - edge) <= GUARD_MARGIN + slack:
            raise Uncertain()
    return order


def log10_slack(x):
    return x.err / (abs(x.v) * mp.log(10)) if x.v else mpf(0)


def less(a, b, slack):
    """a < b, Uncertain when a and b lie within slack of each other."""
    if slack > 0 and abs(a - b) <= slack:
        raise Uncertain()
    return a < b


def isdigit(c):
    return c != "" and c in "0123456789"


def isletter(c):
    return c != "" and c.isascii() and c.isalpha()


class Parser:
    def __init__(self, text):
        self.t = text
        self.pos = 0

    def at_end(self):
        return self.pos >= len(self.t)

    def cur(self):
        return "" if self.at_end() else self.t[self.pos]

    def skip(self):
        while self.cur() == " ":
            self.pos += 1

    def run(self):
        try:
            value = self.simple()
        except Failed as f:
            return self.pos + 1, f.message, None
        self.skip()
        return (0 if self.at_end() else self.pos + 1), "", value

    def simple(self):
        self.skip()
        if self.at_end():
            raise Failed("end of expression encountered where simple expression expected")
        sign = self.cur()
        if sign in "+-":
            self.pos += 1
        value = self.term()
        if sign == "-":
            value = Val(-value.v, value.err)
        while True:
            self.skip()
            op = self.cur()
            if op == "" or op not in "+-":
                return value
            self.pos += 1
            operand = self.term()
            value = add(value, operand) if op == "+" else subtract(value, operand)

    def term(self):
        self.skip()
        if self.at_end():
            raise Failed("end of expression encountered where term was expected")
        value = self.factor()
        while True:
            self.skip()
            op = self.cur()
            if op == "" or op not in "*/":
                return value
            self.pos += 1
            operand = self.factor()
            value = multiply(value, operand) if op == "*" else divide(value, operand)

    def factor(self):
        self.skip()
        if self.at_end():
            raise Failed("end of expression encountered where factor expected")
        c = self.cur()
        if isdigit(c):
            return self.number()
        if isletter(c):
            return self.function()
        if c != "(":
            raise Failed('function, unsigned number, or "(" expected')
        self.pos += 1
        value = self.simple()
        self.skip()
        if self.at_end():
            raise Failed('end of expression encountered where ")" was expected')
        if self.cur() != ")":
            raise Failed('expression not followed by ")"')
        self.pos += 1
        return value

    def number(self):
        mantissa = mpf(0)
        while isdigit(self.cur()):
            if mantissa > MAX_INTEGER_PART:
                raise Failed("constant is too big")
            mantissa = mantissa * 10 + int(self.cur())
            self.pos += 1
        if self.cur() == ".":
            self.pos += 1
            if self.at_end():
                raise Failed("end of expression encountered where decimal part expected")
            if not isdigit(self.cur()):
                raise Failed("decimal part of real number is missing")
            scale = mpf(1)
            while isdigit(self.cur()):
                scale = scale / 10
                mantissa = mantissa + int(self.cur()) * scale
                self.pos += 1
        exponent, negative = 0, False
        if self.cur() in ("e", "E"):
            self.pos += 1
            if self.at_end():
                raise Failed("end of expression encountered where exponent expected")
            if self.cur() in ("+", "-"):
                negative = self.cur() == "-"
                self.pos += 1
            if self.at_end():
                raise Failed("end of expression encountered where exponent magnitude expected")
            if not isdigit(self.cur()):
                raise Failed("nonnumeric exponent encountered")
            while isdigit(self.cur()):
                exponent = min(exponent * 10 + int(self.cur()), MAX_EXPONENT + 1)
                self.pos += 1
            if exponent > MAX_EXPONENT:
                raise Failed("magnitude of exponent is too large")
        if mantissa == 0:
            return Val(mpf(0))
        order = check_order(mp.log10(mantissa) + (-exponent if negative else exponent), 0)
        if order < -MAX_ORDER:
            return Val(mpf(0))
        if order > MAX_ORDER:
            raise Failed("constant is too big")
        scale = power_of_ten(exponent)
        return Val(mantissa * (1 / scale) if negative else mantissa * scale)

    def function(self):
        name = ""
        while isletter(self.cur()):
            name += self.cur().upper()
            self.pos += 1
        args = []
        self.skip()
        if self.cur() == "(":
            self.pos += 1
            while True:
                args.append(self.simple())
                self.skip()
                if self.at_end():
                    raise Failed('")" to terminate function arguments is missing')
                c = self.cur()
                self.pos += 1
                if c == ")":
                    break
                if c != ",":
                    self.pos -= 1
                    raise Failed("comma missing from function arguments")
        return call(name, args)


def power_of_ten(exponent):
    power, base = mpf(1), mpf(10)
    while True:
        if exponent & 1:
            power = power * base
        exponent >>= 1
        if not exponent:
            return power
        base = base * base


def add(a, b):
    slack = a.err + b.err
    s = a.v + b.v
    if a.v > 0 and b.v > 0 and less(BOUND - b.v, a.v, slack):
        raise Failed("overflow detected during addition")
    if a.v < 0 and b.v < 0 and less(a.v, -BOUND - b.v, slack):
        raise Failed("overflow detected during addition")
    return Val(s, slack + rounded(s, slack))


def subtract(a, b):
    slack = a.err + b.err
    d = a.v - b.v
    if a.v < 0 and b.v > 0 and less(a.v, b.v - BOUND, slack):
        raise Failed("overflow detected during subtraction")
    if a.v > 0 and b.v < 0 and less(b.v + BOUND, a.v, slack):
        raise Failed("overflow detected during subtraction")
    return Val(d, slack + rounded(d, slack))


def product_order(a, b, sign):
    order = +(mp.log10(abs(a.v)) + sign * mp.log10(abs(b.v)))
    return check_order(order, log10_slack(a) + log10_slack(b))


def multiply(a, b):
    if check_zero(a) or check_zero(b):
        return Val(mpf(0))
    order = product_order(a, b, 1)
    if order < -MAX_ORDER:
        return Val(mpf(0))
    if order > MAX_ORDER:
        raise Failed("overflow detected during multiplication")
    p = a.v * b.v
    err = abs(a.v) * b.err + abs(b.v) * a.err + a.err * b.err
    return Val(p, err + rounded(p, err))


def divide(a, b):
    if check_zero(b):
        raise Failed("division by zero attempted")
    if check_zero(a):
        return Val(mpf(0))
    order = product_order(a, b, -1)
    if order < -MAX_ORDER:
        return Val(mpf(0))
    if order > MAX_ORDER:
        raise Failed("overflow detected during division")
    q = a.v / b.v
    err = (a.err + abs(q) * b.err) / (abs(b.v) - b.err)
    return Val(q, err + rounded(q, err))


UNARY = ("ABS", "ARCTAN", "COS", "EXP", "LN", "SIN", "SQR", "SQRT")


def call(name, args):
    quoted = '"' + name + '"'
    if name == "PI":
        if args:
            raise Failed("extraneous argument supplied to function " + quoted)
        quarter = libm(mp.atan, Val(mpf(1)), lambda t: 0)
        return Val(4 * quarter.v, 4 * quarter.err)
    if name not in UNARY:
        raise Failed("the function " + quoted + " is unrecognized")
    if not args:
        raise Failed("argument to " + quoted + " is missing")
    if len(args) > 1:
        raise Failed("extraneous argument supplied to function " + quoted)
    x = args[0]
    if name == "ABS":
        return Val(abs(x.v), x.err)
    if name == "ARCTAN":
        return libm(mp.atan, x, lambda t: 1 / (1 + t * t))
    if name == "COS":
        return libm(mp.cos, x, mp.sin)
    if name == "SIN":
        return libm(mp.sin, x, mp.cos)
    if name == "LN":
        if check_zero(x) or less(x.v, 0, x.err):
            raise Failed("argument to " + quoted + " is other than positive")
        return libm(mp.log, x, lambda t: 1 / (t - x.err))
    if name == "SQRT":
        if not check_zero(x) and less(x.v, 0, x.err):
            raise Failed("argument to " + quoted + " is negative")
        if x.err == 0:
            return Val(mp.sqrt(x.v))
        return libm(mp.sqrt, x, lambda t: 1 / (2 * mp.sqrt(t - x.err)))
    if name == "EXP":
        order = check_order(x.v / LN10, x.err / LN10)
        if order < -MAX_ORDER:
            return Val(mpf(0))
        if order > MAX_ORDER:
            raise Failed("overflow detected while calculating " + quoted)
        return libm(mp.exp, x, lambda t: mp.exp(t + x.err))
    if check_zero(x):
        return Val(mpf(0))
    square = x.v * x.v
    err = 2 * abs(x.v) * x.err + x.err * x.err
    order = check_order(mp.log10(square), 2 * log10_slack(x))
    if order < -MAX_ORDER:
        return Val(mpf(0))
    if order > MAX_ORDER:
        raise Failed("overflow detected during calculation of " + quoted)
    return Val(square, err + rounded(square, err))


def oracle(text):
    """(position, message, value) or None when a decision is too close to call."""
    try:
        return Parser(text).run()
    except Uncertain:
        return None


# ---- generation ----------------------------------------------------------------

FUNCTIONS = ("abs", "Arctan", "COS", "exp", "ln", "sin", "sqr", "sqrt", "pi", "Sqrt")


def blanks(rng):
    return " " * rng.choice((0, 0, 0, 1, 2))


def number(rng):
    kind = rng.random()
    digits = "".join(rng.choice("0123456789") for _ in range(rng.randint(1, 6)))
    if kind < 0.4:
        return digits
    fraction = "".join(rng.choice("0123456789") for _ in range(rng.randint(1, 8)))
    if kind < 0.75:
        return digits + "." + fraction
    sign = rng.choice(("", "+", "-"))
    exponent = str(rng.randint(10, 40) if rng.random() < 0.2 else rng.randint(0, 9))
    return digits + rng.choice(("", "." + fraction)) + rng.choice("eE") + sign + exponent


def expression(rng, depth):
    text = blanks(rng) + rng.choice(("", "", "", "-", "+")) + term(rng, depth)
    for _ in range(rng.choice((0, 1, 1, 2, 3))):
        text += blanks(rng) + rng.choice("+-") + blanks(rng) + term(rng, depth)
    return text


def term(rng, depth):
    text = factor(rng, depth)
    for _ in range(rng.choice((0, 1, 1, 2))):
        text += blanks(rng) + rng.choice("*/") + blanks(rng) + factor(rng, depth)
    return text


def factor(rng, depth):
    kind = rng.random()
    if depth <= 0 or kind < 0.5:
        return number(rng)
    if kind < 0.7:
        return "(" + expression(rng, depth - 1) + blanks(rng) + ")"
    name = rng.choice(FUNCTIONS)
    if name == "pi":
        return name
    args = [expression(rng, depth - 1) for _ in range(rng.choice((1,) * 12 + (2, 0)))]
    if not args:
        return name
    return name + blanks(rng) + "(" + ",".join(args) + ")"


def mutate(rng, text):
    """An expression made wrong: cut short, or a character put in or changed."""
    i = rng.randint(0, len(text))
    kind = rng.random()
    if kind < 0.4:
        return text[:i]
    junk = rng.choice("()+-*/.,eE xq9;")
    if kind < 0.7:
        return text[:i] + junk + text[i:]
    return text[:i] + junk + text[i + 1:]


def cases():
    rng = random.Random(SEED)
    while True:
        text = expression(rng, 3)
        if rng.random() < 0.3:
            text = mutate(rng, text)
        if len(text) <= 255:
            yield text


def main():
    driver = sys.argv[1]
    texts, expected = [], []
    skipped = 0
    for text in cases():
        if len(texts) == COUNT:
            break
        result = oracle(text)
        if result is None:
            skipped += 1
            continue
        texts.append(text)
        expected.append(result)
    out = subprocess.run([driver], input="\n".join(texts) + "\n", capture_output=True,
                         text=True, encoding="cp1251", check=True).stdout.splitlines()
    assert len(out) == len(texts), "driver answered %d lines of %d" % (len(out), len(texts))
    failures, errors = 0, 0
    for text, (position, message, value), line in zip(texts, expected, out):
        got_position, sign, mantissa, exponent, got_message = line.split("\t")
        got_position = int(got_position)
        got = int(sign) * mp.ldexp(mpf(int(mantissa)), int(exponent))
        if position:
            errors += 1
            ok = got_position == position and got_message == message
            want = "position %d %r" % (position, message)
        else:
            tolerance = 4 * value.err + 2 * ulp(value.v)
            ok = got_position == 0 and got_message == "" and abs(got - value.v) <= tolerance
            want = "%s (+-%s)" % (mp.nstr(value.v, 21), mp.nstr(tolerance, 3))
        if not ok:
            failures += 1
            if failures <= 20:
                print("%r: want %s, got position %d %r %s"
                      % (text, want, got_position, got_message, mp.nstr(got, 21)))
    print("%d expressions (%d with errors), %d too close to a guard left out, %d failures"
          % (len(texts), errors, skipped, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
