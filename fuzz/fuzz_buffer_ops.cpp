// Runs a sequence of buffer operations against a std::deque model and checks
// content, offset and block size after every step.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <deque>
#include <vector>

#include "korvex/buffer.h"

namespace {

class Checked : public CBuffer {
public:
  // The storage the growth rule predicts.
  unsigned int offset = 0;
  unsigned int capacity = 0;
  std::deque<unsigned char> model;

  void ExpectAppend(unsigned int n) {
    if (capacity < offset + model.size() + n) {
      offset = 0;
      if (capacity < model.size() + n) capacity = static_cast<unsigned int>(model.size()) + n + 1024;
    }
  }
  void ExpectInsert(unsigned int n) {
    if (offset >= n) {
      offset -= n;
      return;
    }
    if (capacity < model.size() + n) capacity = static_cast<unsigned int>(model.size()) + n;
    offset = 0;
  }
  void ExpectConsumed(unsigned int n, bool front) {
    const unsigned int k = n < model.size() ? n : static_cast<unsigned int>(model.size());
    if (front) {
      model.erase(model.begin(), model.begin() + k);
      offset += k;
    } else {
      model.erase(model.end() - k, model.end());
    }
    if (model.empty()) offset = 0;
  }

  void Check() const {
    if (Len() != model.size() || m_nOffset != offset || m_nCapacity != capacity) abort();
    if ((m_pData == NULL) != (capacity == 0)) abort();
    if (m_pData && Ptr() != m_pData + m_nOffset) abort();
    size_t i = 0;
    for (unsigned char c : model)
      if ((*this)[static_cast<int>(i++)] != c) abort();
  }
};

void Fill(unsigned char* room, unsigned int n, unsigned char seed) {
  for (unsigned int i = 0; i < n; ++i) room[i] = static_cast<unsigned char>(seed + i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Checked b;
  while (in.remaining_bytes() && b.model.size() < 16384) {
    const unsigned int n = in.ConsumeIntegralInRange<unsigned int>(0, 3000);
    const unsigned char seed = in.ConsumeIntegral<unsigned char>();
    switch (in.ConsumeIntegralInRange<int>(0, 11)) {
      case 0:
        b.ExpectAppend(1);
        b.PutByte(seed);
        b.model.push_back(seed);
        break;
      case 1: {
        const unsigned char expected = b.model.empty() ? 0 : b.model.front();
        b.ExpectConsumed(1, true);
        if (b.GetByte() != expected) abort();
        break;
      }
      case 2: {
        std::vector<unsigned char> bytes(n);
        Fill(bytes.data(), n, seed);
        if (n) b.ExpectAppend(n);
        b.Append(bytes.data(), n);
        b.model.insert(b.model.end(), bytes.begin(), bytes.end());
        break;
      }
      case 3: {
        b.ExpectAppend(n);
        unsigned char* room = b.AppendSpace(n);
        if (n) Fill(room, n, seed);
        for (unsigned int i = 0; i < n; ++i) b.model.push_back(static_cast<unsigned char>(seed + i));
        break;
      }
      case 4: {
        b.ExpectInsert(n);
        unsigned char* room = b.InsertSpace(n);
        if (n) Fill(room, n, seed);
        for (unsigned int i = n; i > 0; --i) b.model.push_front(static_cast<unsigned char>(seed + i - 1));
        break;
      }
      case 5: {
        std::vector<unsigned char> out(n + 1);
        const std::deque<unsigned char> before = b.model;
        b.ExpectConsumed(n, true);
        const unsigned int got = b.Get(out.data(), n);
        if (got != before.size() - b.model.size() || !std::equal(out.begin(), out.begin() + got, before.begin()))
          abort();
        break;
      }
      case 6:
      case 7: {
        const bool front = (seed & 1) == 0;
        const size_t before = b.model.size();
        b.ExpectConsumed(n, front);
        if ((front ? b.Consume(n) : b.ConsumeEnd(n)) != before - b.model.size()) abort();
        break;
      }
      case 8:
        b.Clear(seed & 1);
        b.model.clear();
        b.offset = 0;
        if (seed & 1) b.capacity = 0;
        break;
      case 9: {  // a slice of its own content
        if (b.model.empty()) break;
        const unsigned int at = n % b.model.size();
        const unsigned int count = static_cast<unsigned int>(b.model.size()) - at;
        const std::deque<unsigned char> slice(b.model.begin() + at, b.model.end());
        b.ExpectAppend(count);
        b.Append(b.Ptr() + at, count);
        b.model.insert(b.model.end(), slice.begin(), slice.end());
        break;
      }
      case 10: {
        const std::deque<unsigned char> whole = b.model;
        if (!whole.empty()) b.ExpectAppend(static_cast<unsigned int>(whole.size()));
        b.Append(b);
        b.model.insert(b.model.end(), whole.begin(), whole.end());
        break;
      }
      default: {
        CBuffer copy(b);
        CBuffer assigned(reinterpret_cast<const unsigned char*>("other"), 5);
        assigned = b;
        if (!(copy == b) || copy != assigned || copy.Len() != b.Len()) abort();
        if (copy.Len()) {
          copy.ConsumeEnd(1);
          copy.PutByte(static_cast<unsigned char>(b[static_cast<int>(b.Len()) - 1] + 1));
          if (copy == b || !(copy != b)) abort();
        }
        break;
      }
    }
    b.Check();
  }
  return 0;
}
