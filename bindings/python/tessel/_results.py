"""The typed results of judging: one class per mode, and a failed item."""

import dataclasses
import math
import os
from typing import Any, Optional, Union

from . import _native


@dataclasses.dataclass(frozen=True)
class ShingleVerdict:
    """Shingle mode: the tool's P, U and C columns and its verdict.

    distinct is the number of distinct shingles of the document; scaled tells
    that it is below size_threshold, so that the threshold applied was
    max_threshold * distinct / size_threshold (the tool's "P>=M*R")."""

    verdict: bool
    protected_count: int
    unprotected_count: int
    common_count: int
    distinct: int
    scaled: bool
    # P on the scale of max_threshold: verdict exactly when score >= it.
    score: Optional[float] = None
    # With Model(..., sources=True): the protected file a hit shares most
    # shingles with, and how many.
    source: Optional[str] = None
    source_shared: int = 0


@dataclasses.dataclass(frozen=True)
class LanguageModelVerdict:
    """Language-model mode: the scores of the deciding window (the first
    that passed; 0 without a hit) and its phrase, the byte range from its
    first word to its last. phrase is the text's slice, of the type of the
    text given (a str text maps one character to one byte); None when a file
    was judged, whose bytes the package does not read."""

    verdict: bool
    protected_score: float
    unprotected_score: float
    phrase_offset: int
    phrase_length: int
    phrase: Optional[Union[bytes, str]]
    # With score=True: the best window's margin (>= 0 exactly for a hit);
    # None when no window was scored, or without score=True.
    score: Optional[float] = None
    source: Optional[str] = None
    source_shared: int = 0  # word pairs it shares


@dataclasses.dataclass(frozen=True)
class RobustVerdict:
    """The robust scan (mode="robust", the tool's --robust): score is the
    longest chain of protected-only shingles of one protected file, source
    that file; the verdict is score >= robust_threshold."""

    verdict: bool
    score: float
    protected_count: int
    source: Optional[str] = None


@dataclasses.dataclass(frozen=True)
class Skipped:
    """A document not judged because it is not text (a NUL byte in its first
    8 KiB) and no converter takes it; judge_binary=True judges it anyway."""

    path: Any
    reason: str
    verdict = None


@dataclasses.dataclass(frozen=True)
class JudgeError:
    """An item of judge_files that could not be judged (the others were)."""

    path: Any
    message: str
    code: int = 0  # the kind of failure, as TesselError.code
    # Lets "if result.verdict" pass over failed items.
    verdict = None


def _source(found: _native.Verdict) -> Optional[str]:
    return None if found.source_name is None else os.fsdecode(found.source_name)


def typed(found: _native.Verdict, mode: str, source=None):
    """The result of the verdict struct; source is the text judged, if any."""
    score = None if math.isnan(found.score) else found.score
    if mode == "robust":
        return RobustVerdict(bool(found.verdict), score, found.protected_count, _source(found))
    if mode != "language_model":
        return ShingleVerdict(bool(found.verdict), found.protected_count, found.unprotected_count,
                              found.common_count, found.distinct, bool(found.scaled), score,
                              _source(found), found.source_shared)
    start, size = found.phrase_offset, found.phrase_length
    return LanguageModelVerdict(bool(found.verdict), found.protected_score, found.unprotected_score,
                                start, size, None if source is None else source[start:start + size],
                                score, _source(found), found.source_shared)
