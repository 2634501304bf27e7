// korvex reg end to end: the data forms of every type, the delete and rename
// rules, and .reg files in and out.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "korvex/platform.h"
#include "tests/support/random_text.h"
#include "tests/support/scratch_registry.h"
#include "tests/tool/run_tool.h"
#include "tools/reg/reg_file.h"

namespace {

class ToolReg : public testing::Test {
protected:
  // The scratch key, or a key below it, as the tool takes it and as it prints it.
  std::string Key(const std::string& sub = "") const { return "HKCU\\" + Below(sub); }
  std::string Full(const std::string& sub = "") const { return "HKEY_CURRENT_USER\\" + Below(sub); }
  std::string Below(const std::string& sub) const { return sub.empty() ? scratch_.path() : scratch_ / sub; }
  bool Exists(const std::string& sub) const { return TreeAt(scratch_.get(), sub, false) != "<missing>"; }
  // "<missing>", or the type number, a colon and the stored bytes.
  std::string Stored(const std::string& sub, const char* name) const {
    char data[512];
    DWORD type = 0, size = sizeof data;
    LONG rc = RegGetValueA(scratch_.get(), sub.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size);
    return rc == ERROR_SUCCESS ? std::to_string(type) + ":" + std::string(data, size) : "<missing>";
  }
  void Set(const std::string& sub, const char* name, const std::string& text) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(scratch_.get(), sub.c_str(), name, REG_SZ, text.c_str(), text.size() + 1));
  }
  ToolRun Import(const std::string& bytes) {
    WriteFileBytes(ScratchFile("import.reg"), bytes);
    return RunTool({"reg", "import", ScratchFile("import.reg")});
  }

  ScratchKey scratch_;
};

std::string Utf16(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) bytes += std::string(1, c) + '\0';
  return bytes;
}

std::string Sz(const std::string& text) { return "1:" + text + std::string(1, '\0'); }

// Each type's data as added (-d, or --data-file - for data with line breaks),
// as stored, and as query, get and query --json show it.
TEST_F(ToolReg, EachTypeIsStoredAndShownInEveryForm) {
  const std::string max8(8, '\xff');
  struct Case {
    const char* type;
    std::string data, stored;
    const char *shown, *got, *json;
  } cases[] = {
      {"REG_SZ", "a \"b\"\nc\n", Sz("a \"b\"\nc\n"), "a \"b\"\\nc\\n", "a \"b\"\nc\n\n",
       "\"a \\\"b\\\"\\u000ac\\u000a\""},
      {"REG_EXPAND_SZ", "%HOME%\\x", "2:%HOME%\\x" + std::string(1, '\0'), "%HOME%\\x", "%HOME%\\x\n",
       "\"%HOME%\\\\x\""},
      {"REG_MULTI_SZ", "one\\0two", "7:" + std::string("one\0two\0\0", 9), "one\\0two", "one\ntwo\n",
       "[\"one\",\"two\"]"},
      {"reg_dword", "0xFFFFFFFF", "4:" + max8.substr(4), "0xffffffff", "4294967295\n", "4294967295"},
      {"REG_QWORD", "0xFFFFFFFFFFFFFFFF", "11:" + max8, "0xffffffffffffffff", "18446744073709551615\n",
       "\"18446744073709551615\""},
      {"REG_QWORD", "0x20000000000001", "11:" + std::string("\x01\0\0\0\0\0\x20\0", 8), "0x20000000000001",
       "9007199254740993\n", "\"9007199254740993\""},  // 2^53 + 1: a JSON reader's doubles lose it
      {"REG_BINARY", "00ff7F", "3:" + std::string("\0\xff\x7f", 3), "00FF7F", "00FF7F\n", "\"00FF7F\""},
      {"REG_BINARY", std::string("\0\n", 2), "3:" + std::string("\0\n", 2), "000A", "000A\n", "\"000A\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    bool lines = c.data.find('\n') != std::string::npos;
    ToolRun run = RunTool(
        {"reg", "add", Key("v"), "-v", "v", "-t", c.type, lines ? "--data-file" : "-d", lines ? "-" : c.data}, c.data);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(c.stored, Stored("v", "v"));
    std::string type = c.type == std::string("reg_dword") ? "REG_DWORD" : c.type;
    EXPECT_EQ(Full("v") + "\n    v    " + type + "    " + c.shown + "\n", RunTool({"reg", "query", Key("v")}).out);
    EXPECT_EQ(c.got, RunTool({"reg", "get", Key("v"), "-v", "v"}).out);
    EXPECT_EQ("{\"name\":\"v\",\"type\":\"" + type + "\",\"data\":" + c.json + "}\n",
              RunTool({"reg", "query", Key("v"), "-v", "v", "--json"}).out);
  }
  EXPECT_EQ(1, RunTool({"reg", "get", Key("v"), "-v", "w"}).status);
}

TEST_F(ToolReg, MalformedInputIsRefusedAndChangesNothing) {
  const std::vector<std::string> data[] = {
      {"REG_DWORD", "4294967296"},
      {"REG_DWORD", "-1"},
      {"REG_DWORD", "12x"},
      {"REG_DWORD", "0x"},
      {"REG_BINARY", "abc"},
      {"REG_BINARY", "zz"},
      {"REG_SZ2", "x"},
      {"REG_QWORD", "18446744073709551616"},
      {"REG_MULTI_SZ", "a\\0\\0b"},
      {"REG_MULTI_SZ", "a\\0"},
  };
  for (const std::vector<std::string>& c : data)
    EXPECT_EQ(2, RunTool({"reg", "add", Key("new"), "-v", "n", "-t", c[0], "-d", c[1]}).status) << c[0] << " " << c[1];
  for (const std::string& key :
       {"HKCR\\" + scratch_.path(), Key() + "\\\\new", Key(std::string(256, 'n')), std::string("HKCU")}) {
    ToolRun run = RunTool({"reg", "add", key});
    EXPECT_EQ(2, run.status) << key;
    EXPECT_EQ(0u, run.err.find("korvex: ")) << key;
  }
  EXPECT_FALSE(Exists("new"));
}

// An empty name is the unnamed value, never the key; a key with subkeys goes
// only with --force when nobody at a terminal can be asked.
TEST_F(ToolReg, DeleteTakesValuesAndTreesOnlyWhenForced) {
  Set("k\\sub", "x", "1");
  Set("k", "", "unnamed");
  Set("k", "n", "2");
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("k"), "-v", ""}).status);
  EXPECT_EQ("<missing>", Stored("k", ""));
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("k"), "-v", "n"}).status);
  EXPECT_EQ("<missing>", Stored("k", "n"));
  ToolRun missingValue = RunTool({"reg", "delete", Key("k"), "-v", "n"});
  EXPECT_EQ(1, missingValue.status);
  EXPECT_NE(std::string::npos, missingValue.err.find("no value \"n\""));
  ToolRun refused = RunTool({"reg", "delete", Key("k")}, "y\n");
  EXPECT_EQ(1, refused.status);
  EXPECT_NE(std::string::npos, refused.err.find("--force")) << refused.err;
  EXPECT_TRUE(Exists("k\\sub"));
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("k"), "-f"}).status);
  EXPECT_FALSE(Exists("k"));
  EXPECT_EQ(1, RunTool({"reg", "delete", Key("k")}).status);
  Set("leaf", "x", "1");
  EXPECT_EQ(0, RunTool({"reg", "delete", Key("leaf")}).status);
  EXPECT_FALSE(Exists("leaf"));
}

TEST_F(ToolReg, RenameMovesTheTreeEvenToAnotherCase) {
  Set("Tree\\Deep", "x", "1");
  ASSERT_EQ(0, RunTool({"reg", "rename", Key("Tree"), "Moved"}).status);
  EXPECT_FALSE(Exists("Tree"));
  EXPECT_EQ(Sz("1"), Stored("Moved\\Deep", "x"));
  ASSERT_EQ(0, RunTool({"reg", "rename", Key("Moved"), "MOVED"}).status);
  EXPECT_NE(std::string::npos, RunTool({"reg", "query", Key()}).out.find(Full("MOVED") + "\n"));
  EXPECT_EQ(Sz("1"), Stored("MOVED\\Deep", "x"));

  Set("Other", "z", "3");
  ToolRun onto = RunTool({"reg", "rename", Key("Other"), "moved"});
  EXPECT_EQ(1, onto.status);
  EXPECT_NE(std::string::npos, onto.err.find("exists already"));
  EXPECT_EQ(Sz("3"), Stored("Other", "z"));
  EXPECT_EQ(2, RunTool({"reg", "rename", Key("Other"), "a\\b"}).status);
}

// Key and value names match in any script's other case, as on Windows.
TEST_F(ToolReg, QueryFindsAKeyWrittenInAnotherCase) {
  Set("Uni\\Ключ", "v", "1");
  Set("Uni\\Ключ", "Имя", "2");
  ToolRun run = RunTool({"reg", "query", Key("Uni\\ключ")});
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("    v    REG_SZ    1\n")) << run.out;
  ToolRun value = RunTool({"reg", "get", Key("Uni\\ключ"), "-v", "имя"});
  EXPECT_EQ(0, value.status) << value.err;
  EXPECT_EQ("2\n", value.out);
  // A whole tree names each key's own subkeys alone.
  EXPECT_NE(std::string::npos, RunTool({"reg", "query", Key(), "-s", "--json"})
                                   .out.find("\\Uni\",\"values\":[],\"subkeys\":[\"\\u041a\\u043b\\u044e\\u0447\"]}"));
}

// Every form a .reg file may hold, in either encoding; the export writes the
// editor's format and imports back to the same bytes, text that is not UTF-8
// included.
TEST_F(ToolReg, ImportReadsEveryFormAndTheExportImportsBackToTheSameBytes) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n; a comment\r\n[" + Full("E") +
                     "]\r\n@=\"default\"\r\n\"s\"=\"q\\\"uote\\\\d \xc3\xbc\"\r\n\"gone\"=-\r\n"
                     "\"d\" = dword:0000FFFE\r\n\"b\"=hex:01,02,\\\r\n    03 , 04\r\n\"e\"=hex(2):25,00,fc,00,00,00\r\n"
                     "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                     "\"p\"=hex(1):00,d8,00,dc,00,00\r\n\r\n[-" +
                     Full("Old") + "]\r\n";
  std::string utf16 = "\xFF\xFE";
  for (unsigned char c : text)  // ASCII but for one u-umlaut, UTF-8 C3 BC, which is U+00FC
    if (c != 0xC3) utf16 += std::string(1, c == 0xBC ? '\xfc' : static_cast<char>(c)) + '\0';
  for (const std::string& bytes : {text, "\xEF\xBB\xBF" + text, utf16}) {
    SCOPED_TRACE(bytes.substr(0, 3));
    Set("E", "gone", "x");
    Set("Old\\Deeper", "x", "1");
    ToolRun run = Import(bytes);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(Sz("default"), Stored("E", ""));
    EXPECT_EQ(Sz("q\"uote\\d \xc3\xbc"), Stored("E", "s"));
    EXPECT_EQ("<missing>", Stored("E", "gone"));
    EXPECT_EQ("4:" + std::string("\xfe\xff\0\0", 4), Stored("E", "d"));
    EXPECT_EQ("3:" + std::string("\1\2\3\4", 4), Stored("E", "b"));
    EXPECT_EQ("2:%\xc3\xbc" + std::string(1, '\0'), Stored("E", "e"));
    EXPECT_EQ("7:" + std::string("a\0b\0\0", 5), Stored("E", "m"));
    EXPECT_EQ("11:" + std::string("\1\0\0\0\0\0\0\0", 8), Stored("E", "q"));
    EXPECT_EQ(Sz("\xf0\x90\x80\x80"), Stored("E", "p"));  // U+10000, the first beyond 16 bits
    EXPECT_FALSE(Exists("Old"));
  }

  Set("E", "lines", "one\ntwo");
  Set("E", "raw", "not UTF-8: \xff\xc3(");
  ASSERT_EQ(0,
            RunTool({"reg", "add", Key("E\\Sub"), "-v", "bb", "-t", "REG_BINARY", "-d", std::string(80, 'a')}).status);
  ASSERT_EQ(0, RunTool({"reg", "add", Key("E\\Sub"), "--default", "-t", "REG_BINARY", "-d", ""}).status);
  std::string first = ScratchFile("first.reg"), second = ScratchFile("second.reg");
  ASSERT_EQ(0, RunTool({"reg", "export", Key("E"), first}).status);
  std::string bytes = ReadFileBytes(first);
  const char* expected[] = {"Windows Registry Editor Version 5.00\r\n\r\n[", "]\r\n@=\"default\"\r\n",
                            "\"d\"=dword:0000fffe\r\n",
                            // A text with a line break cannot be quoted: hex(1), UTF-16LE with its terminator.
                            "\"lines\"=hex(1):6f,00,6e,00,65,00,0a,00,74,00,77,00,6f,00,00,00\r\n",
                            "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"};
  EXPECT_EQ(0u, bytes.find(Utf16(expected[0])));
  for (const char* piece : expected) EXPECT_NE(std::string::npos, bytes.find(Utf16(piece).substr(2))) << piece;
  // A line of bytes holds as many as fit in 80 columns with its "\".
  std::string full = "\"bb\"=hex:";
  for (int i = 0; i < 23; ++i) full += "aa,";
  EXPECT_NE(std::string::npos, bytes.find(Utf16(full + "\\\r\n  aa,").substr(2)));
  // Value lines stay within the editor's width.
  std::string shown;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) shown += bytes[i];
  for (size_t start = 0, end; (end = shown.find("\r\n", start)) != std::string::npos; start = end + 2)
    EXPECT_TRUE(shown[start] == '[' || end - start <= 80u) << shown.substr(start, end - start);

  for (std::string utf8 : {"", "--utf8"}) {
    std::vector<std::string> exporting{"reg", "export", Key("E"), first, utf8};
    if (utf8.empty()) exporting.pop_back();
    ASSERT_EQ(0, RunTool(exporting).status);
    ASSERT_EQ(0, RunTool({"reg", "delete", Key("E"), "--force"}).status);
    ToolRun import = RunTool({"reg", "import", first});
    ASSERT_EQ(0, import.status) << utf8 << import.err;
    EXPECT_EQ("imported 2 keys and 12 values from " + first + "\n", import.out);
    exporting[3] = second;
    ASSERT_EQ(0, RunTool(exporting).status);
    EXPECT_EQ(ReadFileBytes(first), ReadFileBytes(second)) << utf8;
    EXPECT_EQ(Sz("not UTF-8: \xff\xc3("), Stored("E", "raw")) << utf8;
    EXPECT_EQ(Sz("q\"uote\\d \xc3\xbc"), Stored("E", "s")) << utf8;
  }
}

TEST_F(ToolReg, AFileWithOneBadLineImportsNothing) {
  std::string start = "Windows Registry Editor Version 5.00\n\n[" + Full("New") + "]\n\"x\"=\"1\"\n[" + Full("Kept") +
                      "]\n\"sentinel\"=-\n";
  const std::string cases[][2] = {
      {"REGEDIT4\n\n[" + Full("New") + "]\n", "line 1:"},
      {"Windows Registry Editor Version 5.00\n\"x\"=\"1\"\n", "line 2:"},
      {start + "\"d\"=dword:123456789\n", "line 7:"},
      {start + "\"b\"=hex:01,0g\n", "line 7:"},
      {start + "\"b\"=hex:01,\\", "line 7:"},
      {start + "[HKEY_CLASSES_ROOT\\x]\n", "line 7:"},
      {start + "\"s\"=\"open\n", "line 7:"},
      {start + "[-" + Full("Gone") + "]\n\"v\"=\"1\"\n", "line 8:"},
      {start + "\"e\"=hex(2):41,00,42\n", "line 7:"},
      {start + "\"e\"=hex(1):00,d8\n", "line 7:"},
      {start + "\"e\"=hex(1):00,dd\n", "line 7:"},  // a lone low surrogate
      {start + "nonsense\n", "line 7:"},
      {"\xFE\xFF\0W", "UTF-16 big-endian"},
      {"", ": the file is empty, without the header"},
      {"\n \n", ": the file is empty, without the header"},
      {start + "\"s\"=\"\xff\"\n", "neither UTF-16LE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    Set("Kept", "sentinel", "here");
    ToolRun run = Import(c[0]);
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find(c[1])) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("nothing was imported")) << run.err;
    EXPECT_FALSE(Exists("New"));
    EXPECT_EQ(Sz("here"), Stored("Kept", "sentinel"));
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
                       "]\n\"v\"=\"1\"\n[HKEY_LOCAL_MACHINE\\Software\\korvex-tests]\n\"v\"=\"1\"\n");
  rmdir(machineHive.c_str());
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.err.find("HKEY_LOCAL_MACHINE\\Software")) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("nothing was changed")) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("(hive " + machineHive + ")")) << run.err;
  EXPECT_EQ(Sz("old"), Stored("A", "x"));
  EXPECT_EQ("<missing>", Stored("A", "z"));
  EXPECT_EQ(Sz("kept"), Stored("B\\C", "y"));
  EXPECT_FALSE(Exists("New"));
  // A refusal for a folder others may change names the folder and its mode.
  std::string folder = ScratchFolderOfProgram().substr(0, ScratchFolderOfProgram().size() - 1);
  struct stat info;
  ASSERT_EQ(0, stat(folder.c_str(), &info));
  chmod(folder.c_str(), 0775);
  run = RunTool({"reg", "add", Key("New")});
  chmod(folder.c_str(), info.st_mode & 07777);
  EXPECT_NE(std::string::npos, run.err.find(": others may change the folder " + folder + ", mode 0775)")) << run.err;
}

// Every key and value, each field length-prefixed.
std::string Dump(const korvex_tool::RegFile& file) {
  std::string out;
  auto field = [&](const std::string& text) { out += std::to_string(text.size()) + ":" + text; };
  for (const korvex_tool::RegKeyEdit& key : file.keys) {
    field(key.key.Full());
    out += key.remove ? "-\n" : "+\n";
    for (const korvex_tool::RegValueEdit& value : key.values) {
      field(value.name);
      field(value.data);
      out += std::to_string(value.type) + (value.remove ? "-\n" : "+\n");
    }
  }
  return out;
}

// Generated files read back whole in both encodings: names in any script with
// quotes, backslashes and line feeds, every type, data of any bytes or none.
TEST(RegFileText, WrittenFilesReadBackWhole) {
  using namespace korvex_tool;
  std::mt19937 rng(37);
  const std::string data = std::string("aZ9 \"\\[]=@\0\r\n\xFF\xC3\xBC", 15);
  const DWORD types[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, 0x12345678};
  for (int round = 0; round < 300; ++round) {
    // Odd rounds hold names that are not UTF-8, which only UTF-16 files carry.
    std::vector<std::string> keys = {"a", "Z", "9", " ", "\"",       "[",           "]",
                                     "=", "@", ";", "-", "\xC3\xBC", "\xE2\x82\xAC"};
    if (round % 2) keys.push_back("\xFF");
    std::vector<std::string> names = keys;
    names.insert(names.end(), {"\\", "\n"});
    RegFile file;
    for (int k = rng() % 4; k >= 0; --k) {
      RegKeyEdit key;
      std::string why,
          path = (k % 2 ? "HKCU\\" : "HKLM\\") + RandomText(rng, keys, 1, 6) + "\\" + RandomText(rng, keys, 1, 6);
      ASSERT_TRUE(ParseKeyPath(path, &key.key, &why)) << why;
      key.remove = rng() % 5 == 0;
      for (int v = key.remove ? 0 : rng() % 6; v > 0; --v) {
        RegValueEdit value{RandomText(rng, names, 0, 6), rng() % 6 == 0, REG_NONE, ""};
        if (!value.remove) value.type = types[rng() % 8], value.data = RandomText(rng, data, 0, 12);
        if (value.type == REG_SZ && rng() % 2) value.data = RandomText(rng, keys, 0, 8) + '\0';  // the quoted form
        if (value.type == REG_DWORD && rng() % 2) value.data.resize(4);
        key.values.push_back(value);
      }
      file.keys.push_back(key);
    }
    for (bool utf8 : {false, true}) {
      if (utf8 && round % 2) continue;
      RegFile back;
      std::string written, again, error;
      ASSERT_TRUE(WriteRegFile(file, &written, &error, utf8)) << error;
      ASSERT_TRUE(ReadRegFile(written, &back, &error)) << error << "\n" << written;
      EXPECT_EQ(Dump(back), Dump(file)) << written;
      ASSERT_TRUE(WriteRegFile(back, &again, &error, utf8));
      EXPECT_EQ(again, written);
    }
  }
}

}  // namespace
