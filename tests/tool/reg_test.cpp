// korvex reg end to end: values of every type, keys, and .reg files in and out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"

namespace {

class ToolReg : public testing::Test {
protected:
  // The scratch key, or a key below it, as the tool takes it.
  std::string Key(const std::string& sub = "") const {
    return "HKCU\\" + scratch_.path() + (sub.empty() ? "" : "\\" + sub);
  }
  std::string Full(const std::string& sub = "") const {
    return "HKEY_CURRENT_USER\\" + scratch_.path() + (sub.empty() ? "" : "\\" + sub);
  }
  bool Exists(const std::string& sub) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (scratch_ / sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  // "<missing>", or the type number, a colon and the stored bytes.
  std::string Stored(const std::string& sub, const char* name) const {
    HKEY key = nullptr;
    std::string path = sub.empty() ? scratch_.path() : scratch_ / sub;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
    char data[512];
    DWORD type = 0, size = sizeof data;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::to_string(type) + ":" + std::string(data, size) : "<missing>";
  }
  void Set(const std::string& sub, const char* name, const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (scratch_ / sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), (DWORD)text.size() + 1);
    RegCloseKey(key);
  }
  ToolRun Import(const std::string& bytes) {
    std::string file = ScratchFile("import.reg");
    WriteFileBytes(file, bytes);
    return RunTool({"reg", "import", file});
  }

  ScratchKey scratch_;
};

std::string Utf16(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) bytes += std::string(1, c) + '\0';
  return bytes;
}

std::string Sz(const std::string& text) { return "1:" + text + std::string(1, '\0'); }

TEST_F(ToolReg, AddStoresEachTypeAndQueryShowsIt) {
  struct Case {
    const char* type;
    const char* data;
    std::string stored;
    const char* shown;
  } cases[] = {
      {"REG_SZ", "a b\"c", Sz("a b\"c"), "a b\"c"},
      {"REG_EXPAND_SZ", "%HOME%\\x", "2:%HOME%\\x" + std::string(1, '\0'), "%HOME%\\x"},
      {"REG_MULTI_SZ", "one\\0two", "7:" + std::string("one\0two\0\0", 9), "one\\0two"},
      {"REG_DWORD", "42", "4:" + std::string("\x2a\0\0\0", 4), "0x2a"},
      {"REG_DWORD", "0xFFFFFFFF", "4:\xff\xff\xff\xff", "0xffffffff"},
      {"reg_dword", "4294967295", "4:\xff\xff\xff\xff", "0xffffffff"},
      {"REG_BINARY", "00ff7F", "3:" + std::string("\0\xff\x7f", 3), "00FF7F"},
  };
  for (const Case& c : cases) {
    ToolRun add = RunTool({"reg", "add", Key("v"), "-v", "value", "-t", c.type, "-d", c.data});
    ASSERT_EQ(0, add.status) << c.type << " " << add.err;
    EXPECT_EQ(c.stored, Stored("v", "value")) << c.type;
    ToolRun query = RunTool({"reg", "query", Key("v")});
    EXPECT_EQ(Full("v") + "\n    value    " + std::string(c.type == std::string("reg_dword") ? "REG_DWORD" : c.type) +
                  "    " + c.shown + "\n",
              query.out);
  }
}

// The forms for scripts: data alone from get, data from a file or standard
// input, one line a value in query, and JSON.
TEST_F(ToolReg, ScriptingFormsKeepTheDataWhole) {
  struct Case {
    const char* type;
    std::string data;  // through --data-file -
    const char* got;
    const char* json;
  } cases[] = {
      {"REG_SZ", "one\ntwo\n", "one\ntwo\n\n", "\"one\\u000atwo\\u000a\""},
      {"REG_QWORD", "0xFFFFFFFFFFFFFFFF", "18446744073709551615\n", "18446744073709551615"},
      {"REG_DWORD", "42", "42\n", "42"},
      {"REG_NONE", "00ff", "00FF\n", "\"00FF\""},
      {"REG_MULTI_SZ", "a\\0b", "a\nb\n", "[\"a\",\"b\"]"},
  };
  for (const Case& c : cases) {
    ToolRun add = RunTool({"reg", "add", Key("s"), "-v", "v", "-t", c.type, "--data-file", "-"}, c.data);
    ASSERT_EQ(0, add.status) << c.type << ": " << add.err;
    EXPECT_EQ(c.got, RunTool({"reg", "get", Key("s"), "-v", "v"}).out) << c.type;
    EXPECT_EQ("{\"name\":\"v\",\"type\":\"" + std::string(c.type) + "\",\"data\":" + c.json + "}\n",
              RunTool({"reg", "query", Key("s"), "-v", "v", "--json"}).out)
        << c.type;
  }
  RunTool({"reg", "add", Key("s"), "-v", "v", "-d", "one\ntwo"});
  EXPECT_EQ(Full("s") + "\n    v    REG_SZ    one\\ntwo\n", RunTool({"reg", "query", Key("s")}).out);
  ToolRun missing = RunTool({"reg", "get", Key("s"), "-v", "w"});
  EXPECT_EQ(1, missing.status);
  EXPECT_EQ("", missing.out);
}

TEST_F(ToolReg, MalformedInputIsRefusedAndChangesNothing) {
  std::string longName(256, 'n');
  std::vector<std::vector<std::string>> lines = {
      {"-t", "REG_DWORD", "-d", "4294967296"},
      {"-t", "REG_DWORD", "-d", "-1"},
      {"-t", "REG_DWORD", "-d", "12x"},
      {"-t", "REG_DWORD", "-d", "0x"},
      {"-t", "REG_BINARY", "-d", "abc"},
      {"-t", "REG_BINARY", "-d", "zz"},
      {"-t", "REG_SZ2", "-d", "x"},
      {"-t", "REG_QWORD", "-d", "18446744073709551616"},
  };
  for (std::vector<std::string> line : lines) {
    line.insert(line.begin(), {"reg", "add", Key("new"), "-v", "n"});
    ToolRun run = RunTool(line);
    EXPECT_EQ(2, run.status) << line[6] << " " << line[8];
    EXPECT_FALSE(Exists("new")) << line[6] << " " << line[8];
  }
  for (const std::string& key : {"HKCR\\" + scratch_.path(), Key() + "\\\\new", Key(longName), std::string("HKCU")}) {
    ToolRun run = RunTool({"reg", "add", key});
    EXPECT_EQ(2, run.status) << key;
    EXPECT_NE(std::string::npos, run.err.find("korvex: ")) << key;
  }
  EXPECT_FALSE(Exists("new"));
}

TEST_F(ToolReg, DeleteRemovesValuesAndTreesAndRefusesMissingOnes) {
  Set("a\\b", "x", "1");
  Set("a", "y", "2");
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("a"), "-v", "y"}).status);
  EXPECT_EQ("<missing>", Stored("a", "y"));
  EXPECT_TRUE(Exists("a\\b"));
  ToolRun missingValue = RunTool({"reg", "delete", Key("a"), "-v", "y"});
  EXPECT_EQ(1, missingValue.status);
  EXPECT_NE(std::string::npos, missingValue.err.find("no value \"y\""));
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("a"), "--force"}).status);
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ(1, RunTool({"reg", "delete", Key("a")}).status);
}

// An empty name is the unnamed value, never the key; a key with subkeys goes
// only with --force when nobody at a terminal can be asked.
TEST_F(ToolReg, DeleteTakesSubkeysOnlyWhenForced) {
  Set("k\\sub", "x", "1");
  Set("k", "", "unnamed");
  Set("k", "n", "2");
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("k"), "-v", ""}).status);
  EXPECT_EQ("<missing>", Stored("k", ""));
  EXPECT_EQ(Sz("2"), Stored("k", "n"));
  ToolRun refused = RunTool({"reg", "delete", Key("k")}, "y\n");
  EXPECT_EQ(1, refused.status);
  EXPECT_NE(std::string::npos, refused.err.find("--force")) << refused.err;
  EXPECT_TRUE(Exists("k\\sub"));
  for (const char* force : {"-f", "--force"}) {
    Set("k\\sub", "x", "1");
    EXPECT_EQ(0, RunTool({"reg", "delete", Key("k"), force}).status) << force;
    EXPECT_FALSE(Exists("k")) << force;
  }
  Set("leaf", "x", "1");
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("leaf")}).status);
  EXPECT_FALSE(Exists("leaf"));
}

TEST_F(ToolReg, RenameMovesTheTree) {
  Set("Tree\\Deep", "x", "1");
  Set("Tree", "y", "2");
  ASSERT_EQ(0, RunTool({"reg", "rename", Key("Tree"), "Moved"}).status);
  EXPECT_FALSE(Exists("Tree"));
  EXPECT_EQ(Sz("1"), Stored("Moved\\Deep", "x"));
  EXPECT_EQ(Sz("2"), Stored("Moved", "y"));

  // The registry compares names without case: a change of case must not lose the tree.
  ASSERT_EQ(0, RunTool({"reg", "rename", Key("Moved"), "MOVED"}).status);
  EXPECT_EQ(Sz("1"), Stored("MOVED\\Deep", "x"));
  EXPECT_NE(std::string::npos, RunTool({"reg", "query", Key()}).out.find(Full("MOVED") + "\n"));

  Set("Other", "z", "3");
  ToolRun onto = RunTool({"reg", "rename", Key("Other"), "moved"});
  EXPECT_EQ(1, onto.status);
  EXPECT_NE(std::string::npos, onto.err.find("exists already"));
  EXPECT_EQ(Sz("3"), Stored("Other", "z"));
  EXPECT_EQ(2, RunTool({"reg", "rename", Key("Other"), "a\\b"}).status);
  EXPECT_EQ(1, RunTool({"reg", "rename", Key("Missing"), "b"}).status);
}

TEST_F(ToolReg, ExportWritesTheEditorsFormat) {
  Set("E", "", "def");
  Set("E", "s", "a\"b\\c");
  Set("E", "lines", "one\ntwo");
  ASSERT_EQ(0, RunTool({"reg", "add", Key("E"), "-v", "n", "-t", "REG_DWORD", "-d", "42"}).status);
  ASSERT_EQ(0, RunTool({"reg", "add", Key("E\\Sub"), "-v", "m", "-t", "REG_MULTI_SZ", "-d", "x\\0y"}).status);
  ASSERT_EQ(0,
            RunTool({"reg", "add", Key("E\\Sub"), "-v", "b", "-t", "REG_BINARY", "-d", std::string(80, 'a')}).status);
  std::string file = ScratchFile("export.reg");
  ASSERT_EQ(0, RunTool({"reg", "export", Key("E"), file}).status);
  std::string bytes = ReadFileBytes(file);
  const char* expected[] = {"Windows Registry Editor Version 5.00\r\n\r\n[", "]\r\n@=\"def\"\r\n",
                            "\"s\"=\"a\\\"b\\\\c\"\r\n", "\"n\"=dword:0000002a\r\n",
                            // A text with a line break cannot be quoted: hex(1), UTF-16LE with its terminator.
                            "\"lines\"=hex(1):6f,00,6e,00,65,00,0a,00,74,00,77,00,6f,00,00,00\r\n",
                            "\"m\"=hex(7):78,00,00,00,79,00,00,00,00,00\r\n", "\"b\"=hex:aa,aa,aa,", ",\\\r\n  aa,aa,"};
  EXPECT_EQ(0u, bytes.find(Utf16(expected[0])));
  for (const char* piece : expected) EXPECT_NE(std::string::npos, bytes.find(Utf16(piece).substr(2))) << piece;
  // Value lines stay within the editor's width.
  std::string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    bool keyLine = text[start] == '[';
    EXPECT_TRUE(keyLine || end - start <= 80u) << text.substr(start, end - start);
  }
}

TEST_F(ToolReg, ExportedTreesImportBackToTheSameBytes) {
  Set("R\\A", "s", "text \xc3\xbc");
  Set("R\\A", "raw", "not UTF-8: \xff\xc3(");
  ASSERT_EQ(0, RunTool({"reg", "add", Key("R\\A\\B"), "-v", "e", "-t", "REG_EXPAND_SZ", "-d", "%P%"}).status);
  ASSERT_EQ(0, RunTool({"reg", "add", Key("R"), "--default", "-t", "REG_BINARY", "-d", ""}).status);
  for (std::string utf8 : {"", "--utf8"}) {
    std::vector<std::string> exporting{"reg", "export", Key("R")};
    if (!utf8.empty()) exporting.push_back(utf8);
    std::string first = ScratchFile("first.reg"), second = ScratchFile("second.reg");
    exporting.push_back(first);
    ASSERT_EQ(0, RunTool(exporting).status);
    ASSERT_EQ(0, RunTool({"reg", "delete", Key("R"), "--force"}).status);
    ToolRun import = RunTool({"reg", "import", first});
    ASSERT_EQ(0, import.status) << utf8 << import.err;
    EXPECT_EQ("imported 3 keys and 4 values from " + first + "\n", import.out);
    exporting.back() = second;
    ASSERT_EQ(0, RunTool(exporting).status);
    EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(second)) << utf8;
    EXPECT_EQ(Sz("text \xc3\xbc"), Stored("R\\A", "s")) << utf8;
    EXPECT_EQ(Sz("not UTF-8: \xff\xc3("), Stored("R\\A", "raw")) << utf8;
  }
}

TEST_F(ToolReg, ImportReadsEveryFormAndEncoding) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; a comment\r\n"
      "[" +
      Full("I") +
      "]\r\n"
      "@=\"default\"\r\n"
      "\"s\"=\"q\\\"uote\\\\d \xc3\xbc\"\r\n"
      "\"gone\"=-\r\n"
      "\"d\" = dword:FFFFFFFE\r\n"
      "\"b\"=hex:01,02,\\\r\n"
      "    03 , 04\r\n"
      "\"e\"=hex(2):25,00,fc,00,00,00\r\n"
      "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      "\r\n"
      "[-" +
      Full("Old") + "]\r\n";
  std::string utf16 = "\xFF\xFE";
  for (unsigned char c : text) {
    // The text is ASCII but for one u-umlaut (UTF-8 C3 BC), which is U+00FC.
    if (c == 0xC3) continue;
    utf16 += std::string(1, c == 0xBC ? '\xfc' : static_cast<char>(c)) + '\0';
  }
  struct Encoding {
    const char* name;
    std::string bytes;
  } encodings[] = {{"UTF-8", text}, {"UTF-8 with BOM", "\xEF\xBB\xBF" + text}, {"UTF-16LE", utf16}};
  for (const Encoding& encoding : encodings) {
    Set("I", "gone", "x");
    Set("Old\\Deeper", "x", "1");
    ToolRun run = Import(encoding.bytes);
    ASSERT_EQ(0, run.status) << encoding.name << ": " << run.err;
    EXPECT_EQ(Sz("default"), Stored("I", "")) << encoding.name;
    EXPECT_EQ(Sz("q\"uote\\d \xc3\xbc"), Stored("I", "s")) << encoding.name;
    EXPECT_EQ("<missing>", Stored("I", "gone")) << encoding.name;
    EXPECT_EQ("4:\xfe\xff\xff\xff", Stored("I", "d")) << encoding.name;
    EXPECT_EQ("3:" + std::string("\1\2\3\4", 4), Stored("I", "b")) << encoding.name;
    EXPECT_EQ("2:%\xc3\xbc" + std::string(1, '\0'), Stored("I", "e")) << encoding.name;
    EXPECT_EQ("7:" + std::string("a\0b\0\0", 5), Stored("I", "m")) << encoding.name;
    EXPECT_EQ("11:" + std::string("\1\0\0\0\0\0\0\0", 8), Stored("I", "q")) << encoding.name;
    EXPECT_FALSE(Exists("Old")) << encoding.name;
  }
}

TEST_F(ToolReg, AFileWithOneBadLineImportsNothing) {
  std::string start = "Windows Registry Editor Version 5.00\n\n[" + Full("New") + "]\n\"x\"=\"1\"\n[" + Full("Kept") +
                      "]\n\"sentinel\"=-\n";
  struct Case {
    std::string file;
    const char* line;
  } cases[] = {
      {"REGEDIT4\n\n[" + Full("New") + "]\n", "line 1:"},
      {"Windows Registry Editor Version 5.00\n\"x\"=\"1\"\n", "line 2:"},
      {start + "\"d\"=dword:123456789\n", "line 7:"},
      {start + "\"b\"=hex:01,0g\n", "line 7:"},
      {start + "\"b\"=hex:01,\\", "line 7:"},
      {start + "[HKEY_CLASSES_ROOT\\x]\n", "line 7:"},
      {start + "\"s\"=\"open\n", "line 7:"},
      {start + "\"s\"=\"bad \\q escape\"\n", "line 7:"},
      {start + "[-" + Full("Gone") + "]\n\"v\"=\"1\"\n", "line 8:"},
      {start + "\"e\"=hex(2):41,00,42\n", "line 7:"},
      {start + "\"e\"=hex(1):00,d8\n", "line 7:"},
      {start + "nonsense\n", "line 7:"},
      {"\xFE\xFF\0W", "UTF-16 big-endian"},
      {start + "\"s\"=\"\xff\"\n", "neither UTF-16LE"},
  };
  for (const Case& c : cases) {
    Set("Kept", "sentinel", "here");
    ToolRun run = Import(c.file);
    EXPECT_EQ(1, run.status) << c.file;
    EXPECT_NE(std::string::npos, run.err.find(c.line)) << c.file << "\n" << run.err;
    EXPECT_NE(std::string::npos, run.err.find("nothing was imported")) << run.err;
    EXPECT_FALSE(Exists("New")) << c.file;
    EXPECT_EQ(Sz("here"), Stored("Kept", "sentinel")) << c.file;
  }
}

// The machine hive cannot be opened (a folder stands where its file goes):
// the changes already made to the user's hive are taken back.
TEST_F(ToolReg, AFailureHalfwayRestoresTheEarlierState) {
  std::string machineHive = ScratchFolderOfProgram() + "machine.db";
  ASSERT_EQ(0, mkdir(machineHive.c_str(), 0700));
  Set("A", "x", "old");
  Set("B\\C", "y", "kept");
  ToolRun run = Import("Windows Registry Editor Version 5.00\n\n[" + Full("A") + "]\n\"x\"=\"new\"\n\"z\"=\"1\"\n[-" +
                       Full("B") + "]\n[" + Full("New\\Deep") +
                       "]\n\"v\"=\"1\"\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\korvex-tests]\n\"v\"=\"1\"\n");
  rmdir(machineHive.c_str());
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.err.find("HKEY_LOCAL_MACHINE\\Software")) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("nothing was changed")) << run.err;
  EXPECT_EQ(Sz("old"), Stored("A", "x"));
  EXPECT_EQ("<missing>", Stored("A", "z"));
  EXPECT_EQ(Sz("kept"), Stored("B\\C", "y"));
  EXPECT_FALSE(Exists("New"));
}

// Killed while it writes, an import leaves nothing of itself; or it had just
// finished, and everything is there. Never a part.
TEST_F(ToolReg, AKilledImportLeavesNothingOrEverything) {
  const int kKeys = 200, kValues = 100;
  std::string text = "Windows Registry Editor Version 5.00\n";
  for (int k = 0; k < kKeys; ++k) {
    text += "\n[" + Full("K" + std::to_string(k)) + "]\n";
    for (int v = 0; v < kValues; ++v) text += "\"v" + std::to_string(v) + "\"=\"" + std::string(64, 'x') + "\"\n";
  }
  std::string file = ScratchFile("large.reg");
  WriteFileBytes(file, text);

  // The hive's write counts (begun, ended) differ while a write is under way.
  std::string counts = ScratchFolderOfProgram() + "user.db-writes";
  auto writing = [&] {
    uint64_t begun_ended[2] = {0, 0};
    std::ifstream(counts, std::ios::binary).read(reinterpret_cast<char*>(begun_ended), sizeof begun_ended);
    return begun_ended[0] != begun_ended[1];
  };
  pid_t pid = StartTool({"reg", "import", file});
  int status = 0;
  bool exited = false;
  for (int polls = 0; polls < 30000 && !writing(); ++polls) {
    if ((exited = waitpid(pid, &status, WNOHANG) == pid)) break;
    usleep(1000);
  }
  if (!exited) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }

  DWORD subkeys = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(scratch_.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr));
  if (subkeys == 0) return;
  EXPECT_EQ(static_cast<DWORD>(kKeys), subkeys);
  for (int k = 0; k < kKeys; ++k)
    ASSERT_EQ(Sz(std::string(64, 'x')), Stored("K" + std::to_string(k), ("v" + std::to_string(kValues - 1)).c_str()));
}

}  // namespace
