#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_invoke: one file per scenario below.

fuzz_invoke reads its input through FuzzedDataProvider, which takes numbers
from the end of the input and texts from its start. This script makes the
input that leads the target to a chosen scenario, by making the target's
decisions in the target's order (invoke_fuzzer.cpp: main, Values::any, one_call).
When that order changes, change it here too and run the script again:

    python3 fuzz/invoke_seeds.py fuzz/corpus/invoke
"""
import os
import struct
import sys

METHODS = [
    "Initialize_dMatr", "mMatrIsVect", "mMatrIsQuadr", "mDet", "mSum", "mDiff", "mMult",
    "mMultVett", "mMatrIsSing", "mDivd", "mTrasp", "mOpp", "mSwapRC", "mDiag", "mSwap", "mSist",
    "mMakeMatrNul", "mMakeVectNul", "mMakeMatrI", "mMakeVectI", "mPrint", "mMod", "mProdScal",
    "mTrace", "mIdentical", "mMatrIsOrt", "mMatrAreOrt", "mMatrIsUnit", "mMatrIsZero", "mInv",
    "mDupl", "mDuplVar", "mPolin", "mGetYPolin", "mGetXsOfQuadr", "mShowAbout"]
# The tables of invoke_fuzzer.cpp, in their order.
INTEGERS = [-2**31, -100000, -2, -1, 0, 1, 2, 3, 4, 5, 8, 12, 100000, 2**31 - 1, 2**31,
            -2**31 - 1, 2**63 - 1, -2**63]
TEXTS = ["", "R", "r", "C", "c", "X", " R ", "msgbox", "MSGBOX", "Clipboard", "DEBUG", "object",
         "out.txt", "0.00", "0.0000E+00", "00", "#,##0.00", "0;(0)", "0 \"x\"", "0%", "0.0E-0",
         "abc", "2.5", "-2.5", "1,234.5", "(3)", "3-", "$4", "&HFF", "&HFFFFFFFF", "&O17", "1e400",
         "-1e-400", "True", "false", " 7 ", "1.5e3", "100000", "2147483647", "-2147483648",
         "2147483648", "1e10"]
LOWER_BOUNDS = [0, 1, 1, 0, -1, 2, 5, 100001, -2**31, 2**31 - 1]
DIMS = [0, 1, 1, 2, 2, 2, 3, 4]
KINDS = {"Form": 0, "PictureBox": 1, "TextBox": 2, "Label": 3, "Printer": 4, "Other": 5,
         "Nothing": 6}


class Input:
    """The bytes that make FuzzedDataProvider return the decisions given."""

    def __init__(self):
        self.head = bytearray()  # texts, read from the start
        self.tail = []  # numbers, in the order read from the end

    def choose(self, value, low, high, size=4):
        span = high - low
        count = 0
        while count < size and span >> (8 * count) > 0:
            count += 1
        offset = value - low
        assert 0 <= offset <= span, (value, low, high)
        for k in reversed(range(count)):
            self.tail.append((offset >> (8 * k)) & 0xFF)

    def boolean(self, value):
        self.choose(1 if value else 0, 0, 255, size=1)

    def text(self, value, max_length):
        # A backslash and another character end a text shorter than the most.
        assert len(value) < max_length and "\\" not in value, value
        self.head += value.encode() + b"\\0"

    def bytes(self):
        return bytes(self.head) + bytes(reversed(self.tail))


# Values, as Values::any builds them.
def integer(v):
    def put(i):
        i.choose(4, 0, 13)
        if -2 <= v <= 12:
            i.boolean(True)
            i.choose(v, -2, 12)
        else:
            i.boolean(False)
            i.choose(INTEGERS.index(v), 0, len(INTEGERS) - 1)
    return put


def number(i, x):
    assert x * 8 == int(x * 8) and -64 <= x * 8 <= 104, x
    i.boolean(True)
    i.choose(int(x * 8), -64, 104)


def double(x):
    def put(i):
        i.choose(5, 0, 13)
        number(i, x)
    return put


def text(t):
    def put(i):
        i.choose(7, 0, 13)
        if t in TEXTS:
            i.boolean(True)
            i.choose(TEXTS.index(t), 0, len(TEXTS) - 1)
        else:
            i.boolean(False)
            i.text(t, 12)
    return put


def empty(i):
    i.choose(1, 0, 13)


def null(i):
    i.choose(2, 0, 13)


def obj(kind, refuses=False):
    def put(i):
        i.choose(9, 0, 13)
        i.boolean(refuses)
        i.choose(KINDS[kind], 0, 6)
    return put


def bounds(i, dims):
    i.choose(DIMS.index(len(dims)), 0, 7)
    for lower, count in dims:
        i.choose(LOWER_BOUNDS.index(lower), 0, 9)
        i.choose(count, 0, 14 if len(dims) <= 2 else 3)


def array(dims, values=(), fixed=False):
    """An array of doubles; its elements, column-major, from `values` then 0."""
    def put(i):
        i.choose(12, 0, 13)
        bounds(i, dims)
        n = 1
        for _, count in dims:
            n *= count
        n = n if dims else 0
        for k in range(n):
            number(i, values[k] if k < len(values) else 0)
        i.choose(0 if fixed else 1, 0, 3)
    return put


def variants(dims, elements, promised=None):
    """An array of variants; `promised` other than None holds fewer elements than its bounds."""
    def put(i):
        i.choose(10, 0, 13)
        bounds(i, dims)
        if promised is None:
            i.choose(1, 0, 7)
        else:
            i.choose(0, 0, 7)
            i.choose(promised, 0, 4)
        for e in elements:
            i.choose(1, 0, 15)  # a scalar, not a nested value
            kind, value = e
            if kind == "number":
                i.choose(6, 0, 7)
                number(i, value)
            elif kind == "text":
                i.choose(4, 0, 7)
                i.boolean(False)
                i.text(value, 12)
            elif kind == "null":
                i.choose(1, 0, 7)
    return put


# A call, as one_call makes it. Arguments: 0-3 a variable, None left out, or
# a value put in as a temporary.
def call(method, args, by_name=None, dispid=None):
    def put(i):
        i.choose(METHODS.index(method), 0, len(METHODS) - 1)
        if dispid is None:
            i.choose(1, 0, 15)
        else:
            i.choose(0, 0, 15)
            i.boolean(False)
            i.choose(dispid, -2**31, 2**31 - 1)
        if dispid is None:
            if by_name is None:
                i.choose(1, 0, 7)
            else:
                i.choose(0, 0, 7)
                i.choose(1, 0, 7)
                for c, wanted in zip(method, by_name):
                    i.boolean(c != wanted)
        i.choose(0, 0, 7)
        i.choose(len(args), 0, 10)
        for a in args:
            if a is None:
                i.choose(4, 0, 7)
            elif isinstance(a, int):
                i.choose(a, 0, 7)
            else:
                i.choose(5, 0, 7)
                a(i)
    return put


def scenario(variables, calls, locale=0, platform_refuses=False):
    i = Input()
    i.choose(locale, 0, 255, size=1)
    i.boolean(platform_refuses)
    for k in range(4):
        (variables[k] if k < len(variables) else empty)(i)
    i.choose(len(calls), 1, 4)
    for c in calls:
        c(i)
    return i.bytes()


M3 = [4, 2, 1, 7, 6, 1, 1, 1, 3]  # a 3 x 3 matrix, column-major
SCENARIOS = {
    "inverse-and-determinant": scenario(
        [array([(1, 3), (1, 3)], M3)], [call("mInv", [0]), call("mDet", [0])]),
    "product-into-a-never-dimensioned-array": scenario(
        [array([(1, 3), (1, 3)], M3), empty], [call("mMult", [1, 0, 0]), call("mTrasp", [0, 1])]),
    "linear-system": scenario(
        [empty, array([(0, 3), (0, 3)], [0, 0, 0, 0, 4, 1, 0, 2, 3]), array([(1, 2)], [1, 2])],
        [call("mSist", [0, 1, 2])]),
    "fit-and-quadratic": scenario(
        [empty, array([(1, 2), (1, 4)], [-1, 2, -0.5, 0.75, 0, 1, 0.5, 2.75])],
        [call("mPolin", [0, 1, integer(3)]),
         call("mGetXsOfQuadr", [2, 3, double(6), 0, text("True")])]),
    "copy-of-huge-bounds": scenario(
        [array([(1, 2), (1, 2)], [1, 2, 3, 4]), array([(100001, 0), (100001, 0)])],
        [call("mDupl", [0, 1]), call("mDuplVar", [0, 1])]),
    "zero-matrix-of-100000-squared": scenario(
        [array([(1, 1), (1, 1)], [5])], [call("mMakeMatrNul", [0, integer(100000), integer(100000)])]),
    "fixed-array-refuses-redim": scenario(
        [array([(1, 2), (1, 2)], [1, 2, 3, 4], fixed=True)],
        [call("mMakeMatrI", [0, integer(3)]), call("mInv", [0])]),
    "variant-array-promising-more-than-it-holds": scenario(
        [empty, variants([(1, 2), (1, 2)], [("number", 1)], promised=1)],
        [call("mDuplVar", [0, 1]), call("mPrint", [1])]),
    "variant-array-with-text-and-null": scenario(
        [empty, variants([(1, 3)], [("number", 1.5), ("text", "2,5"), ("null", None)])],
        [call("mDuplVar", [0, 1]), call("mSum", [0, 1, 1])], locale=1),
    "lowest-bound-determinant-and-diagonal": scenario(
        [array([(-2**31, 1), (-2**31, 1)])], [call("mDet", [0]), call("mDiag", [0])]),
    "rows-up-to-the-largest-bound-without-columns": scenario(
        [array([(2**31 - 1, 1), (0, 1)], [1])],
        [call("mOpp", [0]), call("mProdScal", [0, double(2)]), call("mIdentical", [0, 0])]),
    "swap-rows-by-text": scenario(
        [array([(1, 3), (1, 3)], M3)],
        [call("mSwapRC", [0, text("r"), integer(1), integer(3)]),
         call("mSwapRC", [0, text("c "), integer(-1), integer(12)])]),
    "print-to-a-text-box-that-refuses": scenario(
        [array([(1, 2), (1, 2)], [1, -2.5, 0, 3]), obj("TextBox", refuses=True), text("msgbox")],
        [call("mPrint", [0, 1, 2, text("#,##0.00"), text("comment"), None, double(0)])]),
    "print-to-each-kind": scenario(
        [array([(1, 3)], [1, 2, 3]), obj("Form"), obj("Label"), obj("Printer", refuses=True)],
        [call("mPrint", [0, 1]), call("mPrint", [0, 2, None, text("0.0E-0")]),
         call("mPrint", [0, 3, None, None, None, None, double(0)]), call("mPrint", [0, obj("Other")])]),
    "print-to-a-refusing-clipboard-and-message-box": scenario(
        [array([(0, 2), (0, 2)], [0, 0, 0, 0, 1, 2, 0, 3, 4]), text("Clipboard"), text("msgbox")],
        [call("mPrint", [0, None, 1, None, None, None, double(0)]), call("mPrint", [0, None, 2])],
        platform_refuses=True),
    "print-a-pattern-that-does-not-read-back": scenario(
        [double(2.5), text("0 \"x\"")], [call("mPrint", [0, None, None, 1]),
                                          call("mPrint", [array([(1, 1)], [1]), None, None, 1])]),
    "unknown-identifier-and-mixed-case-name": scenario(
        [array([(1, 2), (1, 2)], [1, 2, 3, 4])],
        [call("mInv", [0], dispid=0x60030001), call("mInv", [0], by_name="MINV")]),
    "too-many-and-left-out-arguments": scenario(
        [array([(1, 2), (1, 2)], [1, 2, 3, 4])],
        [call("mOpp", [0, 0]), call("mSum", [0, None, 0])]),
    "three-dimensions": scenario(
        [array([(1, 2), (0, 2), (1, 2)], [1, 2, 3, 4, 5, 6, 7, 8])],
        [call("mMatrIsVect", [0]), call("mTrace", [0]), call("mPrint", [0])]),
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__),
                                                                "corpus", "invoke")
    os.makedirs(folder, exist_ok=True)
    for name, data in SCENARIOS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
