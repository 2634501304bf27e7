#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <thread>

#include "korvex/buffer.h"

// The program's own allocation functions show what a block holds when it is
// released. A DLL with a runtime of its own allocates apart: there those checks skip.
namespace {
const void* g_watched;  // written while no other thread runs
std::string g_seen;     // the watched block's bytes at its release
int g_releases;
void Release(void* p) noexcept {
  if (p && p == g_watched) g_seen.assign(static_cast<const char*>(p), g_seen.size()), ++g_releases;
  free(p);
}
}  // namespace

// The array and nothrow forms come through these.
void* operator new(size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }

namespace {

const unsigned char* Bytes(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

std::string Content(const CBuffer& b) {
  return b.Len() ? std::string(reinterpret_cast<const char*>(b.Ptr()), b.Len()) : "";
}

std::string Letters(unsigned int count) {
  std::string text;
  for (unsigned int i = 0; i < count; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

// The bytes that could be appended before the content had to move (which uses them up).
unsigned int Room(CBuffer& b) {
  const unsigned char* at = b.Ptr();
  unsigned int room = 0;
  for (b.PutByte('r'); b.Ptr() == at; b.PutByte('r')) ++room;
  return room;
}

// The first size bytes of the block as the release finds them.
const char kNotReleasedOnce[] = "<not released once>";
template <typename Release>
std::string BytesAtRelease(const unsigned char* block, size_t size, Release release) {
  g_seen.assign(size, '\0');
  g_watched = block;
  g_releases = 0;
  release();
  g_watched = nullptr;
  return g_releases == 1 ? g_seen : kNotReleasedOnce;
}

const unsigned char kNothing[1] = {0};
// One past the end: reading it is an out-of-bounds access that the sanitizers report.
const unsigned char* const kPastEnd = kNothing + 1;

}  // namespace

TEST(CBuffer, RequestsOfNothingOrTooMuchChangeNothing) {
  CBuffer b(kPastEnd, 0);
  EXPECT_EQ(b.GetByte(), 0);
  b.Append(kPastEnd, 0);
  EXPECT_EQ(b.AppendSpace(0), nullptr);
  EXPECT_EQ(b.InsertSpace(0), nullptr);
  EXPECT_EQ(b.Ptr(), nullptr);
  EXPECT_EQ(CBuffer(b).Ptr(), nullptr);
  // Past 2^32 - 1 bytes of block (1024 of slack counted for an append) nothing changes.
  b.Append("abcd", 4);
  EXPECT_EQ(b.AppendSpace(0xFFFFFBFCu), nullptr);
  EXPECT_EQ(b.InsertSpace(0xFFFFFFFCu), nullptr);
  EXPECT_EQ(Content(b), "abcd");
}

// Appending takes the room behind the content, else the block with the content
// moved to its start, else a new block of 1024 bytes more than needed.
// Inserting takes the room in front, else the block, else one of exactly the size.
TEST(CBuffer, MakingRoomUsesTheBlockBeforeTakingANewOne) {
  const struct {
    bool insert;
    unsigned int length, consumed, count, roomAfter;
  } cases[] = {
      {false, 0, 0, 10, 1024},    {false, 100, 50, 1024, 0},    {false, 10, 0, 1025, 1024},
      {false, 100, 50, 1050, 24}, {false, 100, 50, 1075, 1024}, {true, 0, 0, 7, 0},
      {true, 8, 4, 3, 1024},      {true, 8, 4, 5, 1023},        {true, 8, 4, 2000, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.insert << ": " << c.length << "-" << c.consumed << "+" << c.count);
    CBuffer b(Bytes(Letters(c.length).c_str()), c.length);  // a block of length + 1024
    b.Consume(c.consumed);
    const std::string kept = Content(b), added(c.count, '+');
    memset(c.insert ? b.InsertSpace(c.count) : b.AppendSpace(c.count), '+', c.count);
    EXPECT_EQ(Content(b), c.insert ? added + kept : kept + added);
    EXPECT_EQ(Room(b), c.roomAfter);
  }
}

// Each way of taking bytes cuts its count to the content; emptying the buffer
// puts the offset back to 0 and keeps the block.
TEST(CBuffer, CountsBeyondTheContentAreCutAndEmptyingKeepsTheBlock) {
  CBuffer b(Bytes("abcdefgh"), 8);
  const unsigned char* start = b.Ptr();
  unsigned char out[8] = {0};
  EXPECT_EQ(b.Get(out, 2), 2u);
  EXPECT_EQ(b.GetByte(), 'c');
  EXPECT_EQ(b.ConsumeEnd(1), 1u);
  EXPECT_EQ(b[1], 'e');  // indexed from the first content byte
  EXPECT_EQ(b.Get(out + 2, 100), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), "abdefg");
  EXPECT_EQ(b.Ptr(), start);  // the offset went back to 0
  b.Append("xyz", 3);
  EXPECT_EQ(b.Consume(50), 3u);
  EXPECT_EQ(b.Ptr(), start);
  b.Append("xyz", 3);
  EXPECT_EQ(b.ConsumeEnd(2), 2u);
  EXPECT_EQ(b.GetByte(), 'x');  // the last byte too
  b.Append("xyz", 3);
  EXPECT_EQ(b.Consume(1), 1u);
  EXPECT_EQ(b.ConsumeEnd(50), 2u);
  EXPECT_EQ(Room(b), 1032u);  // the block stayed
}

TEST(CBuffer, ClearWipesWhatItReleasesAndDestructionDoesNot) {
  CBuffer b(Bytes(Letters(50).c_str()), 50);
  memset(b.AppendSpace(1030), 'q', 1030);  // a block of 2104, its slack holding other bytes too
  b.Consume(5);
  const std::string wiped = BytesAtRelease(b.Ptr() - 5, 2104, [&] { b.Clear(1); });
  if (wiped == kNotReleasedOnce) GTEST_SKIP() << "the library's blocks do not pass through this program's allocator";
  EXPECT_EQ(wiped, std::string(2104, '*'));
  EXPECT_EQ(b.Ptr(), nullptr);
  CBuffer* kept = new CBuffer(Bytes("kkkk"), 4);
  EXPECT_EQ(BytesAtRelease(kept->Ptr(), 4, [&] { delete kept; }), "kkkk");

  unsigned char* block = CBuffer::AllocHeap(0);  // a size of 0 still gives a block
  EXPECT_EQ(BytesAtRelease(block, 0, [&] { CBuffer::FreeHeap(nullptr), CBuffer::FreeHeap(block); }), "");
}

// Comparison looks at the content only: front room and a larger block do not count.
TEST(CBuffer, CopiesOwnTheirContentEvenFromTheOwnBlock) {
  CBuffer a(Bytes("xa\0b"), 4), b;  // the length counts, not a terminator
  a.Consume(1);
  b = a;
  b.Append(&a);
  b.Append(static_cast<const CBuffer*>(nullptr));
  a.Consume(1);
  EXPECT_EQ(Content(a), std::string("\0b", 2));
  const CBuffer& alias = b;
  b = alias;
  CBuffer copy(b);
  EXPECT_EQ(Room(copy), 1024u);
  EXPECT_EQ(Content(b), std::string("a\0ba\0b", 6));
  const std::string kSame("\0b", 2);
  for (const std::string& text : {kSame, std::string(1, '\0'), std::string("\0c", 2), std::string("\1b", 2)}) {
    CBuffer other;
    memcpy(other.InsertSpace(static_cast<unsigned int>(text.size())), text.data(), text.size());
    const int equal = text == kSame;
    EXPECT_EQ(a == other, equal) << text;
    EXPECT_EQ(a != other, 1 - equal) << text;
  }
  EXPECT_EQ(CBuffer() == CBuffer(), 1);
  // Sources inside the own block are copied before the block moves or goes.
  b = CBuffer(Bytes("abc"), 3);
  b.Append(b);
  EXPECT_EQ(Content(b), "abcabc");
  b.Append(Letters(1018).c_str(), 1018);
  const std::string before = Content(b);
  b.Append(b.Ptr(), b.Len());  // needs a new block: the source must not be read from the released one
  EXPECT_EQ(Content(b), before + before);
}

TEST(CLockBuffer, BracketedAppendsNeverInterleaveAndACopyHasAMutexOfItsOwn) {
  CLockBuffer source(Bytes("data"), 4);
  source.Lock();  // held throughout: the threads below lock the copy's mutex
  CLockBuffer shared(static_cast<const CBuffer&>(source));
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
  source.Unlock();
  ASSERT_EQ(shared.Len(), 4u + 2u * kRounds * 16);
  const std::string all = Content(shared);
  for (size_t at = 4; at < all.size(); at += 16) ASSERT_EQ(all.substr(at, 16), std::string(16, all[at])) << at;
  // Through the base the whole destructor runs and lets go of the held mutex (a leak shows under ASan).
  CBuffer* base = new CLockBuffer(Bytes("x"), 1);
  static_cast<CLockBuffer*>(base)->Lock();
  delete base;
}
