// A seeded run of thousands of registry calls, each printed with its result,
// sizes and bytes. The committed transcripts are Wine's answers, so the Linux
// layer is judged by a Win32 nobody here wrote; where the two differ by design
// the run prints "skip:" and the reason instead of the call. With
// KORVEX_WRITE_TRANSCRIPTS=<folder> it writes the transcripts there instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"

namespace {

// splitmix64: the same numbers from every standard library.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  DWORD Below(DWORD n) { return static_cast<DWORD>(Next() % n); }
  template <class T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
};

// Types, rights and RegGetValueA flags print as numbers, so the tables stay plain.
const DWORD kTypes[] = {REG_NONE,   REG_SZ,    REG_EXPAND_SZ,        REG_MULTI_SZ,
                        REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD};
const REGSAM kRights[] = {KEY_READ, KEY_WRITE, KEY_ALL_ACCESS, KEY_QUERY_VALUE, KEY_SET_VALUE | KEY_CREATE_SUB_KEY};
const DWORD kGetFlags[] = {RRF_RT_ANY,
                           RRF_RT_REG_SZ,
                           RRF_RT_REG_EXPAND_SZ,
                           RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                           RRF_RT_ANY | RRF_NOEXPAND,
                           RRF_RT_REG_MULTI_SZ,
                           RRF_RT_REG_NONE,
                           RRF_RT_DWORD,
                           RRF_RT_QWORD,
                           RRF_RT_REG_BINARY | RRF_ZEROONFAILURE};
// Few names, so that calls meet each other's keys and values, in other cases too.
const char* const kPaths[] = {"a", "A", "b", "a\\b", "A\\B\\c", "b\\A"};
const char* const kValues[] = {nullptr, "", "v", "V", "w", "a-name-longer-than-short-rooms"};
const char kLetters[] = "abcdefghijklmnopqrstuvwxyz%KORVEX_";
const char kEmptyTextRoom[] = "skip: the room after empty text: Linux writes a terminator there, Wine does not";
constexpr int kSlots = 4;  // handles; slot 0 is the scratch key itself
constexpr int kCallsPerSeed = 2500;

std::string Quoted(const char* name) { return name ? "\"" + std::string(name) + "\"" : "NULL"; }

std::string Hex(const BYTE* bytes, DWORD size) {
  std::string out;
  for (DWORD i = 0; i < size; ++i) out += {"0123456789abcdef"[bytes[i] >> 4], "0123456789abcdef"[bytes[i] & 15]};
  return out;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Whether a key or one below it holds text stored without its terminator.
bool HoldsUnterminatedText(HKEY key) {
  char name[64];
  BYTE data[64];
  DWORD length = sizeof name, size = sizeof data, type = 0;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &length, nullptr, &type, data, &size) == ERROR_SUCCESS;
       ++i, length = sizeof name, size = sizeof data)
    if (IsText(type) && (!size || data[size - 1])) return true;
  bool holds = false;
  HKEY subkey = nullptr;
  for (DWORD i = 0; !holds && RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &subkey) == ERROR_SUCCESS)
      holds = HoldsUnterminatedText(subkey), RegCloseKey(subkey);
  return holds;
}

class Run {
public:
  Run(uint64_t seed, HKEY scratch) : random_{seed}, slots_{scratch}, paths_{""}, rights_{KEY_ALL_ACCESS} {}
  ~Run() {
    for (int i = 1; i < kSlots; ++i) Close(i);
  }
  const std::string& transcript() const { return out_; }
  // The whole scratch key, values read as text; other bytes as \xNN.
  void Dump() {
    std::string tree = Tree(slots_[0]);
    out_ += "tree: ";
    for (unsigned char c : tree) out_ += c >= ' ' && c < 0x7F ? std::string(1, c) : "\\x" + Hex(&c, 1);
    out_ += '\n';
  }

  void Step(bool dump) {
    if (dump) Dump();
    using Call = void (Run::*)();
    static const Call kCalls[] = {&Run::OpenOrCreate, &Run::OpenOrCreate, &Run::OpenOrCreate, &Run::OpenOrCreate,
                                  &Run::Set,          &Run::Set,          &Run::Set,          &Run::Set,
                                  &Run::Query,        &Run::Query,        &Run::Get,          &Run::Get,
                                  &Run::EnumValue,    &Run::EnumKey,      &Run::Info,         &Run::DeleteValue,
                                  &Run::DeleteKey,    &Run::DeleteKey,    &Run::CopyTree,     &Run::CopyTree,
                                  &Run::CloseSlot,    &Run::Unported};
    (this->*random_.Pick(kCalls))();
  }

private:
  // Every number is printed as long long: Win32 and the layer give LONG and DWORD other widths.
  template <class... Args>
  void Line(const char* format, Args... args) {
    char line[512];
    snprintf(line, sizeof line, format, Arg(args)...);
    out_ += std::string(line) + '\n';
  }
  static long long Arg(long long number) { return number; }
  static const char* Arg(const char* text) { return text; }
  int AnySlot() {
    int slot = static_cast<int>(random_.Below(kSlots));
    return slots_[slot] ? slot : AnySlot();
  }
  void Close(int slot) {
    if (slots_[slot]) Line("RegCloseKey(h%lld) = %lld", slot, RegCloseKey(slots_[slot]));
    slots_[slot] = nullptr;
  }
  void CloseSlot() { Close(1 + static_cast<int>(random_.Below(kSlots - 1))); }
  // The key below the scratch key that a slot's path names, in capitals.
  std::string PathBelow(int slot, const char* path) {
    std::string below = paths_[slot] + "\\" + path;
    for (char& c : below) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return below;
  }
  // A room relative to what a call said it needs: none, short, exact, more.
  DWORD Room(LONG rc, DWORD needed) {
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) needed = 4;  // Win32 leaves it open
    DWORD rooms[] = {0, needed ? needed - 1 : 0, needed, needed + 3};
    return random_.Pick(rooms);
  }

  void OpenOrCreate() {
    bool create = random_.Below(2);
    int parent = AnySlot(), slot = 1 + static_cast<int>(random_.Below(kSlots - 1));
    const char* path = random_.Pick(kPaths);
    REGSAM rights = random_.Pick(kRights);
    if (create && !(rights_[parent] & KEY_CREATE_SUB_KEY))
      return Line("skip: RegCreateKeyExA below a handle without KEY_CREATE_SUB_KEY: Linux refuses, Windows does not");
    char keyClass[] = "class";  // kept by Windows only: read back nowhere
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = create ? RegCreateKeyExA(slots_[parent], path, 0, random_.Below(2) ? keyClass : nullptr, 0, rights,
                                       nullptr, &key, &disposition)
                     : RegOpenKeyExA(slots_[parent], path, 0, rights, &key);
    Line("%s(h%lld,%s,%#llx) = %lld disposition=%lld -> h%lld", create ? "RegCreateKeyExA" : "RegOpenKeyExA", parent,
         Quoted(path).c_str(), rights, rc, disposition, rc ? -1 : slot);
    if (rc == ERROR_SUCCESS) Keep(slot, key, PathBelow(parent, path), rights);
  }

  void Keep(int slot, HKEY key, const std::string& path, REGSAM rights) {
    Close(slot);
    slots_[slot] = key, paths_[slot] = path, rights_[slot] = rights, stale_[slot] = false;
  }
  // Marks the handles of a deleted key and of the keys below it.
  void Deleted(const std::string& path, bool itself) {
    for (int i = 0; i < kSlots; ++i)
      stale_[i] = stale_[i] || (itself && paths_[i] == path) || paths_[i].compare(0, path.size() + 1, path + "\\") == 0;
  }

  // Windows refuses these calls a handle without the rights their pages name;
  // Wine lets them through.
  bool Unchecked(const char* call, int slot, REGSAM needed) {
    if ((rights_[slot] & needed) == needed) return false;
    Line("skip: %s through a handle without its documented rights: Wine does not check them", call);
    return true;
  }

  // A value's type and size, read aside from the calls under test; 99 when
  // the value is missing, kNoKey when its key is.
  static constexpr DWORD kNoKey = 98;
  DWORD Peek(int slot, const char* path, const char* name, DWORD* size) {
    HKEY key = nullptr;
    DWORD type = 99;
    if (RegOpenKeyExA(slots_[slot], path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return kNoKey;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, size) != ERROR_SUCCESS) type = 99;
    RegCloseKey(key);
    return type;
  }

  // Data of a type at its natural size; text is letters with terminators, and
  // the bytes after it are random, so a size that leaves the terminator out
  // sometimes finds one there and sometimes not.
  DWORD MakeData(DWORD type, BYTE* data, DWORD room) {
    for (DWORD i = 0; i < room; ++i) data[i] = static_cast<BYTE>(random_.Below(3) ? random_.Next() : 0);
    if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) return 4;
    if (type == REG_QWORD) return 8;
    const DWORD kSizes[] = {0, 3, 4, 4, 8, 8, 11};  // the numbers' sizes pass RegGetValueA's filters
    DWORD size = random_.Pick(kSizes);
    if (!IsText(type)) return size;
    for (DWORD i = 0; i < size; ++i) data[i] = random_.Below(5) || type != REG_MULTI_SZ ? random_.Pick(kLetters) : 0;
    data[size++] = 0;
    if (type == REG_MULTI_SZ) data[size++] = 0;
    return size;
  }

  void Set() {
    int slot = AnySlot();
    const char* name = random_.Pick(kValues);
    DWORD type = random_.Pick(kTypes);
    BYTE data[32];
    DWORD natural = MakeData(type, data, sizeof data);
    DWORD sizes[] = {0, 1, natural, natural, natural ? natural - 1 : 0, random_.Below(natural + 3) | 1};
    DWORD size = random_.Pick(sizes);
    LONG rc = RegSetValueExA(slots_[slot], name, 0, type, data, size);
    Line("RegSetValueExA(h%lld,%s,%lld,%s,%lld) = %lld", slot, Quoted(name).c_str(), type, Hex(data, size + 1).c_str(),
         size, rc);
  }

  // The value's type, size and bytes as a read call left them; Win32 leaves
  // them open after other failures, and the buffer too unless asked to zero it.
  void Result(const char* call, LONG rc, DWORD type, DWORD size, const BYTE* data, DWORD shown, bool zeroing) {
    std::string bytes = data && (rc == ERROR_SUCCESS || zeroing) ? Hex(data, shown) : "-";
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return Line("%s = %lld data=%s", call, rc, bytes.c_str());
    Line("%s = %lld type=%lld size=%lld data=%s", call, rc, type, size, bytes.c_str());
  }

  // A read asked for its size first, then given a room relative to it.
  template <class Reader>
  void Read(const std::string& call, bool expanding, bool zeroing, Reader read) {
    DWORD type = 99, size = 0;
    LONG rc = read(&type, nullptr, &size);
    Result((call + ",NULL)").c_str(), rc, type, size, nullptr, 0, false);
    if (rc == ERROR_SUCCESS && IsText(type) && !size) return Line(kEmptyTextRoom);
    BYTE data[48];
    DWORD room = size = Room(rc, size) % sizeof data;
    memset(data, 0xCC, sizeof data);
    type = 99;
    rc = read(&type, data, &size);
    // One byte past the room shows a write outside it; what expansion leaves
    // past the text is Win32's to choose.
    Result((call + ",room=" + std::to_string(room) + ")").c_str(), rc, type, size, data,
           expanding ? std::min(size, room) : room + 1, zeroing);
  }

  void Query() {
    int slot = AnySlot();
    const char* name = random_.Pick(kValues);
    Read("RegQueryValueExA(h" + std::to_string(slot) + "," + Quoted(name), false, false,
         [&](DWORD* type, BYTE* data, DWORD* size) {
           return RegQueryValueExA(slots_[slot], name, nullptr, type, data, size);
         });
  }

  void Get() {
    int slot = AnySlot();
    const char* path = random_.Below(4) ? nullptr : random_.Pick(kPaths);
    const char* name = random_.Pick(kValues);
    DWORD flags = random_.Pick(kGetFlags), size = 0, type = Peek(slot, path, name, &size);
    if (type == REG_DWORD_BIG_ENDIAN)
      return Line("skip: RegGetValueA of REG_DWORD_BIG_ENDIAN: Wine refuses it even to RRF_RT_ANY");
    if (type == kNoKey && (flags & RRF_ZEROONFAILURE))
      return Line("skip: RRF_ZEROONFAILURE without the subkey: Linux zeroes the buffer as documented, Wine does not");
    bool expanding = type == REG_EXPAND_SZ && !(flags & RRF_NOEXPAND);
    if (expanding && !size) return Line("skip: RegGetValueA expanding empty REG_EXPAND_SZ: Wine hands out stale bytes");
    char call[96];
    snprintf(call, sizeof call, "RegGetValueA(h%d,%s,%s,%#x", slot, Quoted(path).c_str(), Quoted(name).c_str(),
             static_cast<unsigned>(flags));
    Read(call, expanding, flags & RRF_ZEROONFAILURE, [&](DWORD* type, BYTE* data, DWORD* size) {
      return RegGetValueA(slots_[slot], path, name, flags, type, data, size);
    });
  }

  void EnumValue() {
    int slot = AnySlot();
    DWORD index = random_.Below(5), nameRooms[] = {0, 1, 2, 64}, dataRooms[] = {0, 1, 4, 47};
    char name[64] = {};
    BYTE data[48];
    memset(data, 0xCC, sizeof data);  // shows what the call wrote past the data
    DWORD nameRoom = random_.Pick(nameRooms), dataRoom = random_.Pick(dataRooms), length = nameRoom, size = dataRoom,
          type = 99;
    bool withData = random_.Below(2);
    LONG rc = RegEnumValueA(slots_[slot], index, name, &length, nullptr, &type, withData ? data : nullptr, &size);
    if (rc == ERROR_SUCCESS && IsText(type) && !size && withData) return Line(kEmptyTextRoom);
    Line("RegEnumValueA(h%lld,%lld,room=%lld,data=%lld) = %lld length=%lld name=%s type=%lld size=%lld data=%s", slot,
         index, nameRoom, withData ? dataRoom : 0, rc, length, rc ? "-" : name, type, size,
         rc == ERROR_SUCCESS && withData ? Hex(data, dataRoom + 1).c_str() : "-");
  }

  void EnumKey() {
    int slot = AnySlot();
    DWORD index = random_.Below(4), rooms[] = {0, 1, 2, 64};
    char name[64] = {};
    DWORD room = random_.Pick(rooms), length = room;
    LONG rc = RegEnumKeyExA(slots_[slot], index, name, &length, nullptr, nullptr, nullptr, nullptr);
    Line("RegEnumKeyExA(h%lld,%lld,room=%lld) = %lld length=%lld name=%s", slot, index, room, rc, length,
         rc ? "-" : name);
  }

  void Info() {
    int slot = AnySlot();
    if (Unchecked("RegQueryInfoKeyA", slot, KEY_QUERY_VALUE)) return;
    DWORD subkeys = 99, maxSubkey = 99, values = 99, maxName = 99;
    LONG rc = RegQueryInfoKeyA(slots_[slot], nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                               &maxName, nullptr, nullptr, nullptr);
    Line("RegQueryInfoKeyA(h%lld) = %lld subkeys=%lld maxSubkey=%lld values=%lld maxValueName=%lld", slot, rc, subkeys,
         maxSubkey, values, maxName);
  }

  void DeleteValue() {
    int slot = AnySlot();
    const char* name = random_.Pick(kValues);
    Line("RegDeleteValueA(h%lld,%s) = %lld", slot, Quoted(name).c_str(), RegDeleteValueA(slots_[slot], name));
  }

  // RegDeleteKeyA, or RegDeleteTreeA; now and then that empties the whole
  // scratch key, so that copies stay small.
  void DeleteKey() {
    int slot = AnySlot();
    bool tree = random_.Below(2);
    const char* path = !tree || random_.Below(4) ? random_.Pick(kPaths) : nullptr;
    if (!path && Unchecked("RegDeleteTreeA", slot, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE)) return;
    LONG rc = tree ? RegDeleteTreeA(slots_[slot], path) : RegDeleteKeyA(slots_[slot], path);
    Line("%s(h%lld,%s) = %lld", tree ? "RegDeleteTreeA" : "RegDeleteKeyA", slot, Quoted(path).c_str(), rc);
    if (rc == ERROR_SUCCESS) Deleted(path ? PathBelow(slot, path) : paths_[slot], path != nullptr);
  }

  void CopyTree() {
    int from = AnySlot(), to = AnySlot();
    const char* path = random_.Pick(kPaths);
    if (Unchecked("RegCopyTreeA", from, KEY_READ) || Unchecked("RegCopyTreeA", to, KEY_CREATE_SUB_KEY)) return;
    if (stale_[to]) return Line("skip: RegCopyTreeA into a deleted key: Wine reports success, having written nothing");
    // A copy whose writes land in its own source is left open by Win32: Wine
    // copies what it has just written, or recurses until its stack ends.
    std::string source = PathBelow(from, path), target = paths_[to];
    bool below = (target + "\\").compare(0, source.size() + 1, source + "\\") == 0;
    bool above = source.compare(0, target.size() + 1, target + "\\") == 0;
    HKEY sourceKey = nullptr, inside = nullptr;
    if (RegOpenKeyExA(slots_[from], path, 0, KEY_READ, &sourceKey) == ERROR_SUCCESS) {
      std::string rest = above ? source.substr(target.size() + 1) : "";
      bool overlap = below || (above && RegOpenKeyExA(sourceKey, rest.c_str(), 0, KEY_READ, &inside) == ERROR_SUCCESS);
      if (inside) RegCloseKey(inside);
      bool unterminated = !overlap && HoldsUnterminatedText(sourceKey);
      RegCloseKey(sourceKey);
      if (overlap) return Line("skip: RegCopyTreeA writing into its own source: left open by Win32");
      if (unterminated) return Line("skip: RegCopyTreeA of text without its terminator: Wine's copy adds one");
    }
    Line("RegCopyTreeA(h%lld,%s,h%lld) = %lld", from, Quoted(path).c_str(), to,
         RegCopyTreeA(slots_[from], path, slots_[to]));
  }

  void Unported() {
    const char* const kReasons[] = {"RegRenameKey: the Linux layer has none",
                                    "class strings: Linux keys have none (RegQueryInfoKeyA, RegEnumKeyExA)",
                                    "RegQueryInfoKeyA's longest data: Linux counts ANSI bytes, Windows UTF-16",
                                    "transactions: Wine has none (RegCreateKeyTransactedA is not implemented)"};
    Line("skip: %s", random_.Pick(kReasons));
  }

  Random random_;
  HKEY slots_[kSlots] = {};
  std::string paths_[kSlots];  // each slot's key below the scratch key, in capitals
  REGSAM rights_[kSlots];
  bool stale_[kSlots] = {};  // the slot's key was deleted
  std::string out_;
};

std::string Transcript(uint64_t seed) {
  ScratchKey scratch;
  Run run(seed, scratch.get());
  for (int i = 1; i <= kCallsPerSeed; ++i) run.Step(i % 250 == 0);
  return run.transcript();
}

TEST(Win32RegistryTranscript, EveryCallAnswersAsWin32Does) {
  for (int seed = 1; seed <= 3; ++seed) {
    std::string file = "/seed-" + std::to_string(seed) + ".txt", path = KORVEX_TRANSCRIPT_DIR + file;
    std::string got = Transcript(seed);
    if (const char* folder = getenv("KORVEX_WRITE_TRANSCRIPTS")) {
      WriteFileBytes(folder + file, got);
      continue;
    }
    std::string want = ReadFileBytes(path);
    ASSERT_FALSE(want.empty()) << path;
    if (got == want) continue;
    auto differ = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
    size_t line = got.rfind('\n', differ - got.begin()) + 1;  // npos + 1 is 0
    ADD_FAILURE() << path << ", line " << std::count(got.begin(), got.begin() + line, '\n') + 1 << ":\n--- Win32:\n"
                  << want.substr(line, 400) << "\n--- here:\n"
                  << got.substr(line, 400);
  }
}

}  // namespace
