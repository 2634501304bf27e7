#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "korvex/buffer.h"

// The program's own allocation functions let a test look at a block in the
// moment it is released. Where the library has its own allocator (a DLL with a
// static runtime), the hook never sees its blocks and those tests skip.
namespace {

std::atomic<void*> g_lastAllocated{nullptr};
std::atomic<long> g_live{0};  // blocks allocated and not yet released
std::atomic<void*> g_watched{nullptr};
size_t g_watchedSize = 0;
std::atomic<int> g_watchedReleases{0};
unsigned char g_seen[4096];

void* Allocate(size_t size) noexcept {
  void* p = malloc(size ? size : 1);
  if (p) g_lastAllocated = p, ++g_live;
  return p;
}

void* AllocateOrThrow(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}

void Release(void* p) noexcept {
  if (p) --g_live;
  if (p && p == g_watched.load()) {
    memcpy(g_seen, p, g_watchedSize);
    ++g_watchedReleases;
  }
  free(p);
}

}  // namespace

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

// Reads the storage members the growth rule is stated in.
class Probe : public CBuffer {
public:
  using CBuffer::CBuffer;
  using CBuffer::operator=;
  const unsigned char* Block() const { return m_pData; }
  unsigned int Offset() const { return m_nOffset; }
  unsigned int Capacity() const { return m_nCapacity; }

  // Stands in for a huge buffer without allocating it; Restore before destruction.
  void Pretend(unsigned int length, unsigned int capacity) {
    if (m_saved.empty()) m_saved = {m_nLength, m_nCapacity};
    m_nLength = length;
    m_nCapacity = capacity;
  }
  void Restore() {
    m_nLength = m_saved[0];
    m_nCapacity = m_saved[1];
  }

  // Arms the release hook for this buffer's current block.
  void Watch() {
    ASSERT_LE(m_nCapacity, sizeof g_seen);
    g_watchedSize = m_nCapacity;
    g_watchedReleases = 0;
    g_watched = m_pData;
  }

private:
  std::vector<unsigned int> m_saved;
};

std::string Content(const CBuffer& b) {
  return b.Len() ? std::string(reinterpret_cast<const char*>(b.Ptr()), b.Len()) : "";
}

void Fill(CBuffer& b, unsigned int count, char from = 'a') {
  for (unsigned int i = 0; i < count; ++i) b.PutByte(static_cast<unsigned char>(from + i % 26));
}

bool ReleasedOnce() {
  g_watched = nullptr;
  return g_watchedReleases.load() == 1;
}

const unsigned char kNothing[1] = {0};
// One past the end: reading it is an out-of-bounds access that the sanitizers report.
const unsigned char* const kPastEnd = kNothing + 1;

}  // namespace

TEST(CBuffer, NewBufferHasNoBlockAndZeroLengthRequestsTakeNone) {
  Probe b;
  EXPECT_EQ(b.Len(), 0u);
  EXPECT_EQ(b.Ptr(), nullptr);
  EXPECT_EQ(b.GetByte(), 0);
  b.Append(kPastEnd, 0);
  b.Append(reinterpret_cast<const char*>(kPastEnd), 0);
  EXPECT_EQ(b.AppendSpace(0), nullptr);
  EXPECT_EQ(b.InsertSpace(0), nullptr);
  EXPECT_EQ(b.Capacity(), 0u);
  Probe fromNothing(kPastEnd, 0);
  EXPECT_EQ(fromNothing.Block(), nullptr);
  Probe copyOfEmpty(b);
  EXPECT_EQ(copyOfEmpty.Block(), nullptr);
  EXPECT_TRUE(b == copyOfEmpty);
}

TEST(CBuffer, NewBlocksAreExactly1024BytesLargerThanNeeded) {
  Probe b(reinterpret_cast<const unsigned char*>("0123456789"), 10);
  EXPECT_EQ(b.Capacity(), 1034u);
  const unsigned char* block = b.Block();
  Fill(b, 1024);
  EXPECT_EQ(b.Block(), block);  // fits behind the content: nothing moves
  b.PutByte('!');
  EXPECT_EQ(b.Capacity(), 2059u);
  EXPECT_EQ(b.Len(), 1035u);
  EXPECT_EQ(Content(b).substr(0, 12), "0123456789ab");
  EXPECT_EQ(b[1034], '!');

  Probe copy(b);
  EXPECT_EQ(copy.Capacity(), 1035u + 1024u);
  EXPECT_NE(copy.Block(), b.Block());
}

TEST(CBuffer, AppendCompactsWithinTheBlockBeforeTakingANewOne) {
  Probe b;
  Fill(b, 1034);  // a block of 1 + 1024, then one of 1026 + 1024
  ASSERT_EQ(b.Capacity(), 2050u);
  b.Consume(1000);
  const unsigned char* block = b.Block();
  unsigned char* room = b.AppendSpace(1100);  // 34 + 1100 fit once moved to the front
  EXPECT_EQ(b.Block(), block);
  EXPECT_EQ(b.Offset(), 0u);
  EXPECT_EQ(room, block + 34);
  memset(room, 'z', 1100);
  EXPECT_EQ(Content(b).substr(0, 3), "mno");  // byte 1000 of the fill

  b.Consume(10);
  b.Append(std::string(2000, 'y').c_str(), 2000);  // too big even compacted
  EXPECT_EQ(b.Capacity(), 1124u + 2000u + 1024u);
  EXPECT_EQ(b.Offset(), 0u);
  EXPECT_EQ(Content(b).substr(0, 4), "wxyz");
  EXPECT_EQ(b.Len(), 3124u);
}

TEST(CBuffer, InsertSpaceUsesFrontRoomThenAnExactBlock) {
  Probe fresh;
  unsigned char* room = fresh.InsertSpace(7);
  EXPECT_EQ(fresh.Capacity(), 7u);
  EXPECT_EQ(room, fresh.Ptr());
  EXPECT_EQ(fresh.Len(), 7u);

  Probe b(reinterpret_cast<const unsigned char*>("headbody"), 8);
  b.Consume(4);
  const unsigned char* before = b.Ptr();
  room = b.InsertSpace(3);
  EXPECT_EQ(room, before - 3);  // front room suffices: nothing moves
  memcpy(room, "HDR", 3);
  EXPECT_EQ(Content(b), "HDRbody");

  room = b.InsertSpace(5);  // more than the front room, less than the block
  EXPECT_EQ(b.Capacity(), 1032u);
  EXPECT_EQ(b.Offset(), 0u);
  EXPECT_EQ(room, b.Block());
  memcpy(room, "12345", 5);
  EXPECT_EQ(Content(b), "12345HDRbody");

  b.Consume(2);
  b.InsertSpace(2000);  // beyond the block: exactly length + count
  EXPECT_EQ(b.Capacity(), 2010u);
  EXPECT_EQ(b.Offset(), 0u);
  EXPECT_EQ(Content(b).substr(2000), "345HDRbody");
}

TEST(CBuffer, CountsBeyondTheContentAreClampedAndKeepTheBlock) {
  Probe b(reinterpret_cast<const unsigned char*>("abcdef"), 6);
  const unsigned char* block = b.Block();
  unsigned char out[8] = {0};
  EXPECT_EQ(b.Get(out, 2), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 2), "ab");
  EXPECT_EQ(b.Offset(), 2u);
  EXPECT_EQ(b.GetByte(), 'c');
  EXPECT_EQ(b.ConsumeEnd(1), 1u);
  EXPECT_EQ(Content(b), "de");
  EXPECT_EQ(b[1], 'e');  // indexed from the first content byte
  EXPECT_EQ(b.Get(out, 100), 2u);
  EXPECT_EQ(b.Len(), 0u);
  EXPECT_EQ(b.Offset(), 0u);
  EXPECT_EQ(b.Get(nullptr, 5), 0u);

  for (int which = 0; which < 2; ++which) {
    b.Append("xyz", 3);
    b.Consume(1);
    EXPECT_EQ(which ? b.ConsumeEnd(50) : b.Consume(50), 2u);
    EXPECT_EQ(b.Offset(), 0u);
    EXPECT_EQ(b.Block(), block);
    EXPECT_EQ(b.Capacity(), 1030u);
  }
}

TEST(CBuffer, TextAppendTakesTheLengthNotTheTerminator) {
  CBuffer b;
  b.Append("a\0b", 3);
  EXPECT_EQ(Content(b), std::string("a\0b", 3));
  CBuffer other;
  other.Append(&b);
  other.Append(b);
  other.Append(static_cast<const CBuffer*>(nullptr));
  EXPECT_EQ(other.Len(), 6u);
  EXPECT_EQ(b.Len(), 3u);
}

TEST(CBuffer, ClearKeepsOrWipesAndReleasesTheWholeBlock) {
  Probe b;
  Fill(b, 100);
  b.Consume(10);
  const unsigned char* block = b.Block();
  b.Clear(0);
  EXPECT_EQ(b.Len(), 0u);
  EXPECT_EQ(b.Block(), block);
  EXPECT_EQ(b.Capacity(), 1025u);

  Fill(b, 50);  // the slack behind the content holds other bytes too
  memset(b.AppendSpace(1000), 'q', 1000);
  b.Consume(5);
  const unsigned int capacity = b.Capacity();
  b.Watch();
  b.Clear(1);
  if (!ReleasedOnce()) GTEST_SKIP() << "the library's blocks do not pass through this program's allocator";
  EXPECT_EQ(b.Block(), nullptr);
  EXPECT_EQ(b.Capacity(), 0u);
  EXPECT_EQ(b.Ptr(), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_seen), capacity), std::string(capacity, '*'));
}

TEST(CBuffer, DestructionReleasesWithoutWiping) {
  Probe* b = new Probe;
  b->Append(std::string(1500, 'k').c_str(), 1500);
  b->Watch();
  delete b;
  if (!ReleasedOnce()) GTEST_SKIP() << "the library's blocks do not pass through this program's allocator";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_seen), 1500), std::string(1500, 'k'));
}

TEST(CBuffer, ComparisonLooksAtTheContentOnly) {
  CBuffer a(reinterpret_cast<const unsigned char*>("xxpayload"), 9);
  a.Consume(2);
  Probe b;
  memcpy(b.InsertSpace(7), "payload", 7);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a != b);
  b.ConsumeEnd(1);
  EXPECT_EQ(a == b, 0);
  EXPECT_EQ(a != b, 1);
  b.PutByte('D');
  EXPECT_EQ(a == b, 0);
  EXPECT_EQ(a != b, 1);
  EXPECT_TRUE(CBuffer() == CBuffer());
}

TEST(CBuffer, CopiesAndAssignmentsOwnTheirStorage) {
  Probe a(reinterpret_cast<const unsigned char*>("first"), 5);
  Probe b;
  b = a;
  EXPECT_NE(b.Block(), a.Block());
  EXPECT_EQ(Content(b), "first");
  b.Append("!", 1);
  a.Consume(1);
  EXPECT_EQ(Content(a), "irst");
  EXPECT_EQ(Content(b), "first!");

  const unsigned char* block = b.Block();
  const Probe& alias = b;
  b = alias;
  EXPECT_EQ(b.Block(), block);
  EXPECT_EQ(Content(b), "first!");

  b = CBuffer();
  EXPECT_EQ(b.Len(), 0u);
  EXPECT_EQ(b.Offset(), 0u);

  Probe big;
  Fill(big, 3000);
  b = big;
  EXPECT_TRUE(b == big);
  EXPECT_NE(b.Block(), big.Block());
}

TEST(CBuffer, SourcesInsideTheOwnBlockAreCopiedSafely) {
  CBuffer b(reinterpret_cast<const unsigned char*>("abc"), 3);
  b.Append(b);
  EXPECT_EQ(Content(b), "abcabc");

  // Needs a new block: the source must not be read from the released one.
  Fill(b, 1018);
  const unsigned int before = b.Len();
  b.Append(b.Ptr(), before);
  ASSERT_EQ(b.Len(), 2 * before);
  EXPECT_EQ(Content(b).substr(0, before), Content(b).substr(before));

  // Needs compaction only: moving the content overwrites where the source was.
  Probe c;
  Fill(c, 2050);
  ASSERT_EQ(c.Capacity(), 2050u);
  c.Consume(1000);
  const std::string before2 = Content(c);
  c.Append(c.Ptr(), 1000);
  EXPECT_EQ(Content(c), before2 + before2.substr(0, 1000));
}

TEST(CBuffer, RequestsPastTheSizeLimitAreRefusedUntouched) {
  Probe b(reinterpret_cast<const unsigned char*>("abcd"), 4);
  const std::vector<unsigned char> source(0xFFF, 7);
  b.Pretend(0xFFFFF000u, 0xFFFFF000u);
  EXPECT_EQ(b.AppendSpace(0xC00), nullptr);  // its block would be 2^32 bytes
  EXPECT_EQ(b.AppendSpace(0xFFFFFFFFu), nullptr);
  b.Append(source.data(), 0xFFF);
  EXPECT_EQ(b.InsertSpace(0x1000), nullptr);
  EXPECT_EQ(b.Len(), 0xFFFFF000u);
  b.Pretend(0xFFFFFC00u, 0xFFFFFC00u);  // even one byte more passes the limit
  EXPECT_EQ(b.AppendSpace(1), nullptr);
  b.PutByte(1);
  EXPECT_EQ(b.InsertSpace(0x400), nullptr);
  EXPECT_EQ(b.Len(), 0xFFFFFC00u);
  EXPECT_EQ(b.Capacity(), 0xFFFFFC00u);
  EXPECT_EQ(b.Offset(), 0u);
  b.Restore();
  EXPECT_EQ(Content(b), "abcd");
}

TEST(CBuffer, HeapBlocksComeFromTheGlobalAllocator) {
#ifdef _WIN32
  GTEST_SKIP() << "the DLL's blocks do not pass through this program's allocator";
#endif
  unsigned char* block = CBuffer::AllocHeap(0);  // a size of 0 still gives a block
  EXPECT_EQ(block, g_lastAllocated.load());
  g_watchedSize = 0;
  g_watchedReleases = 0;
  g_watched = block;
  CBuffer::FreeHeap(nullptr);
  CBuffer::FreeHeap(block);
  EXPECT_TRUE(ReleasedOnce());
}

TEST(CLockBuffer, BracketedAppendsFromTwoThreadsNeverInterleave) {
  CLockBuffer shared;
  const int kRounds = 2000;
  auto writer = [&](unsigned char tag) {
    for (int i = 0; i < kRounds; ++i) {
      shared.Lock();
      shared.PutByte(tag);
      std::this_thread::yield();  // invites the other thread in, if the lock let it
      shared.Append(std::string(15, static_cast<char>(tag)).c_str(), 15);
      shared.Unlock();
    }
  };
  std::thread a(writer, 'A'), b(writer, 'B');
  a.join();
  b.join();
  ASSERT_EQ(shared.Len(), 2u * kRounds * 16);
  const std::string all = Content(shared);
  for (size_t at = 0; at < all.size(); at += 16) ASSERT_EQ(all.substr(at, 16), std::string(16, all[at])) << at;
}

TEST(CLockBuffer, UnlockWithoutLockAndCopiesFromALockedBuffer) {
  CLockBuffer source(reinterpret_cast<const unsigned char*>("data"), 4);
  source.Unlock();  // not held: nothing
  source.Lock();
  CLockBuffer copy(static_cast<const CBuffer&>(source));
  EXPECT_EQ(Content(copy), "data");
  std::thread other([&] {  // the copy has a mutex of its own, free
    copy.Lock();
    copy.PutByte('!');
    copy.Unlock();
  });
  other.join();
  source.Unlock();
  EXPECT_EQ(Content(copy), "data!");
  EXPECT_EQ(Content(source), "data");
}

TEST(CLockBuffer, DeletingThroughTheBaseReleasesTheHeldLock) {
#ifdef _WIN32
  GTEST_SKIP() << "the DLL's blocks do not pass through this program's allocator";
#endif
  const long live = g_live;
  CBuffer* base = new CLockBuffer(reinterpret_cast<const unsigned char*>("x"), 1);
  static_cast<CLockBuffer*>(base)->Lock();
  delete base;
  EXPECT_EQ(g_live.load(), live);  // the mutex and the block went with it
}
