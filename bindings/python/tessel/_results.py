"""The typed results of judging: one class per mode, and a failed item."""

import dataclasses
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


@dataclasses.dataclass(frozen=True)
class JudgeError:
    """An item of judge_files that could not be judged (the others were)."""

    path: Any
    message: str
    code: int = 0  # the kind of failure, as TesselError.code
    # Lets "if result.verdict" pass over failed items.
    verdict = None


def typed(found: _native.Verdict, language_model: bool, source=None):
    """The result of the verdict struct; source is the text judged, if any."""
    if not language_model:
        return ShingleVerdict(bool(found.verdict), found.protected_count, found.unprotected_count,
                              found.common_count, found.distinct, bool(found.scaled))
    start, size = found.phrase_offset, found.phrase_length
    return LanguageModelVerdict(bool(found.verdict), found.protected_score, found.unprotected_score,
                                start, size, None if source is None else source[start:start + size])
