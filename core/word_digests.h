// The MD5 digests of words and shingles. The digests of a text's shingles
// are TextWords members (HashShingles, HashNeighbours), defined here.
#pragma once

#include <string_view>

#include "core/digest.h"

// The MD5 digest of a byte string (one call of the digest library).
Digest Md5Of(std::string_view text);
