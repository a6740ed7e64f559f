// The multi-buffer MD5 at every level the processor has against OpenSSL's
// one-shot MD5: the input, cut at a separator byte it chooses, is a batch of
// messages of any lengths, followed by the whole input as one more message.
#define OPENSSL_SUPPRESS_DEPRECATED  // the one-shot MD5 call is the reference
#include <openssl/md5.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/md5_lanes.h"
#include "support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const char separator = static_cast<char>(input.Pick(0, 255));
  const std::string text = input.Rest();
  std::vector<std::string_view> messages;
  for (size_t at = 0; at <= text.size();) {
    const size_t end = std::min(text.find(separator, at), text.size());
    messages.push_back(std::string_view(text).substr(at, end - at));
    at = end + 1;
  }
  messages.push_back(text);
  std::vector<Digest> out(messages.size());
  for (Md5Level level : {Md5Level::kSse2, Md5Level::kAvx2, Md5Level::kAvx512}) {
    if (!Md5LevelSupported(level)) continue;
    std::memset(out.data(), 0, out.size() * sizeof(Digest));
    Md5ManyAt(level, messages.data(), messages.size(), out.data());
    for (size_t i = 0; i < messages.size(); ++i) {
      Digest expected;
      MD5(reinterpret_cast<const unsigned char*>(messages[i].data()), messages[i].size(), expected.bytes);
      if (out[i] != expected) abort();
    }
  }
  return 0;
}
