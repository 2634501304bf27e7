// ShellExecuteA, product location and URL launching, down to the arguments the
// started program receives. Products are copies of the recording program.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "korvex/url.h"
#include "platform/shell.h"
#include "tests/support/recorder.h"
#include "tests/support/scratch_registry.h"

namespace {

typedef std::vector<std::string> Args;

INT_PTR Start(const std::string& file, const char* parameters) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, NULL, file.c_str(), parameters, NULL, SW_SHOWNORMAL));
}

const std::string kVendor = "Software\\Quorvanta\\";

std::string Bytes(const CString& text) {
  return std::string(static_cast<const char*>(text), static_cast<size_t>(text.GetLength()));
}

// Creates the key below the vendor key and, with `text`, sets the value `name`.
void Set(const std::string& key, const char* name = NULL, const char* text = NULL) {
  HKEY handle = CreateKey(HKEY_LOCAL_MACHINE, (kVendor + key).c_str());
  EXPECT_TRUE(!text || SetText(handle, name ? name : "", text) == ERROR_SUCCESS) << key;
  RegCloseKey(handle);
}

// Every product key goes afterwards.
struct VendorKeys {
  ~VendorKeys() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvanta"); }
};

// A fresh folder (no trailing separator) with the recorder under each product name.
std::string ProductFolder(const std::vector<std::string>& products) {
  static std::atomic<int> counter{0};
  std::string folder = ScratchFolderOfProgram() + "products-" + std::to_string(counter++);
  std::filesystem::create_directories(folder);
  for (const std::string& product : products)
    std::filesystem::copy_file(RecorderPath(), folder + "/" + product + ProgramExtension());
  return folder;
}

std::string ProgramIn(const std::string& folder, const std::string& product) {
  return folder + "\\" + product + ProgramExtension();
}

void ExpectFound(const char* product, unsigned int result, const std::string& path) {
  CString found;
  EXPECT_EQ(GetProductPath(product, found), result);
  EXPECT_TRUE(!result || Bytes(found) == path) << Bytes(found);
}

}  // namespace

// The started program splits its parameters itself on Windows; ours does it
// for it. Both must give the same arguments, and none may reach a shell.
TEST(ShellExecuteA, ParametersSplitByWindowsCommandLineRules) {
  const std::string marker = ScratchFolderOfProgram() + "shell-ran";
  const std::pair<std::string, Args> cases[] = {
      {"", {}},
      {"  a b\tc  ", {"a", "b", "c"}},
      {"a\"b c\"d", {"ab cd"}},
      {"a\\\\b c\\", {"a\\\\b", "c\\"}},
      {"a\\\"b", {"a\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"$(touch " + marker + ") `touch " + marker + "` ; touch " + marker + " | & > < * ~ 'q' %PATH%",
       {"$(touch", marker + ")", "`touch", marker + "`", ";", "touch", marker, "|", "&", ">", "<", "*", "~", "'q'",
        "%PATH%"}},
  };
  // All started at once, then collected: a start under Wine is slow.
  std::vector<Recording> recordings;
  for (const auto& [parameters, args] : cases) {
    recordings.emplace_back();
    EXPECT_GT(Start(RecorderPath(), parameters.c_str()), 32) << parameters;
  }
  for (size_t i = 0; i < recordings.size(); ++i)
    EXPECT_EQ(recordings[i].Wait(), std::optional<Args>(cases[i].second)) << cases[i].first << ": nullopt: not started";
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(GetProductPath, BesideTheProgramWinsOverTheRegistry) {
  const std::string name = "Beside", beside = FolderOfThisProgram() + name + ProgramExtension();
  std::filesystem::copy_file(RecorderPath(), beside, std::filesystem::copy_options::overwrite_existing);
  VendorKeys keys;
  Set(name + "\\7", "Path", ProductFolder({name}).c_str());
  ExpectFound(name.c_str(), 3, beside);
  std::filesystem::remove(beside);
}

TEST(GetProductPath, ProductKeyChoosesTheVersionByTextAndGatesTerminalAndTransfer) {
  const std::string folder = ProductFolder({}), other = folder + "-other", tooLong(300, 'p');
  const char *in = folder.c_str(), *out = other.c_str();  // a folder, and one that is not there
  struct Value {
    const char *key, *name, *text;
  };
  struct Case {
    const char *what, *product;
    std::vector<Value> values;
    unsigned int result;
    std::string path;
  } cases[] = {
      {"9 is above 10 as text", "Quellbar", {{"10", "Path", out}, {"9", "Path", in}}, 9, ProgramIn(folder, "Quellbar")},
      {"Version counts", "Torvik", {{"1", "Version", "3.1"}, {"1", "Path", in}}, 3, ProgramIn(folder, "Torvik")},
      {"no Version", "Torvik", {{"5", "Path", in}}, 0, ""},
      {"Version 1.0", "skiv", {{"5", "Version", "1.0"}, {"5", "Path", in}}, 0, ""},
      {"the display server's fallback", "QUELLBAR", {{"6\\6", NULL, in}}, 6, ProgramIn(folder, "QUELLBAR")},
      {"no fallback for others", "Gadget", {{"6\\6", NULL, in}}, 0, ""},
      {"a long version name listed first", "Gadget", {{"10000000", "Path", out}, {"9", "Path", in}}, 0, ""},
      {"a version that is no number", "Gadget", {{"beta", "Path", in}}, 0, ""},
      {"a Path longer than a path", "Gadget", {{"2", "Path", tooLong.c_str()}}, 0, ""},
      {"an empty Path", "Gadget", {{"2", "Path", ""}}, 2, ProgramExtension()},
      {"a missing folder is not checked", "Gadget", {{"2.5", "Path", out}}, 2, ProgramIn(other, "Gadget")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VendorKeys keys;
    Set(c.product);
    for (const Value& v : c.values) Set(std::string(c.product) + "\\" + v.key, v.name, v.text);
    ExpectFound(c.product, c.result, c.path);
  }
}

TEST(GetProductPath, SuiteFolderCountsOnlyWhenTheProgramIsThere) {
  const std::string withTorvik = ProductFolder({"Torvik"}), empty = ProductFolder({});
  enum { kNoProductKey, kProgramMissing, kGateFails };
  for (int c : {kNoProductKey, kProgramMissing, kGateFails}) {
    SCOPED_TRACE(c);
    VendorKeys keys;
    Set("Vantoria\\5", "Path", (c == kProgramMissing ? empty : withTorvik).c_str());
    Set("Vantoria\\40", "Path", empty.c_str());
    if (c == kGateFails) Set("Torvik\\2", "Version", "1.0");
    ExpectFound("Torvik", c == kProgramMissing ? 0 : 5, ProgramIn(withTorvik, "Torvik"));
  }
}

// The three products, installed the way their installers register them.
TEST(ExecuteURL, ReachesTheProductAsTheTableSaysAndFailuresStartNothing) {
  const std::string folder = ProductFolder({"Torvik", "Skiv", "Quellbar"});
  VendorKeys keys;
  for (const char* product : {"Torvik\\4", "Skiv\\4"}) {
    Set(product, "Version", "4.2");
    Set(product, "Path", folder.c_str());
  }
  Set("Quellbar\\12", "Path", folder.c_str());
  const std::pair<const char*, Args> cases[] = {
      {"ssh://user@host:22/a/b?k=v", {"-url", "ssh://user@host:22/a%2Fb?k=v"}},
      {"SSH://h", {"-url", "SSH://h"}},
      {"xdmcp://user@display.example:177/p?x=y", {":[0]", "-query", "display.example"}},
      // The text is not quoted: fields may split.
      {"xdmcp://a%20-b", {":[0]", "-query", "a", "-b"}},
  };
  for (const auto& [url, args] : cases) {
    Recording recording;
    EXPECT_EQ(ExecuteURL(url), 1) << url;
    EXPECT_EQ(recording.Wait(), std::optional<Args>(args)) << url << ": nullopt: nothing started";
  }

  Set("Skiv\\9", "Version", "9.0");
  Set("Skiv\\9", "Path", (folder + "-missing").c_str());
  const char* failures[] = {"", "host", "http://h", "xdmcpx://h", "ssh://", "://h", "ssh://@h", "ftp://h", "sftp://h"};
  std::vector<Recording> recordings;
  for (const char* url : failures) {
    recordings.emplace_back();
    EXPECT_EQ(ExecuteURL(url), 0) << url;
  }
  // A start after them all; anything they started would have recorded by then.
  Recording last;
  ASSERT_EQ(ExecuteURL("telnet://h"), 1);
  ASSERT_TRUE(last.Wait().has_value());
  for (size_t i = 0; i < recordings.size(); ++i) EXPECT_FALSE(recordings[i].Exists()) << failures[i];
  EXPECT_EQ(ExecuteURL(CUrlInfo()), 0);
}

// The safe records reach the product as ExecuteURL's test shows.
TEST(IsSafeToLaunch, RefusesFieldsThatWouldSplitOrStartWithADash) {
  const std::vector<const char*> byResult[2] = {
      {"xdmcp://a%20-b", "xdm://-query", "xdmcp://h%09x", "xdmcp://h%22", "ssh://h%09-evil", "ssh://-oProxyCommand=x@h",
       "ssh://u:-p@h", "ssh://u@h?x=%22", "ssh://u@h?%0A=1", "ssh://u@h/%7F", "ssh://u@h?k=-v", "ssh://a+b@h",
       "telnet://h?-k=v", "http://h", "h"},
      {"ssh://user@host:22/a/b?k=v", "SFTP://h/caf%E9/a\\b", "xdmcp://us%20er@h/%09?k=%22"}};
  for (int safe : {0, 1}) {
    for (const char* url : byResult[safe]) {
      SCOPED_TRACE(url);
      CUrlInfo record;
      ASSERT_EQ(record.ParseURL(url), 1);
      EXPECT_EQ(IsSafeToLaunch(record), safe);
      EXPECT_EQ(IsSafeToLaunch(url), safe);
    }
  }
  // The text form also refuses a port the record keeps only 16 bits of.
  for (const char* url : {"ssh://h:22/p", "ssh://h:65535", "ssh://h:1", "ssh://u:pw@h/a:1"})
    EXPECT_EQ(IsSafeToLaunch(url), 1) << url;
  for (const char* url : {"ssh://h:65536", "ssh://h:0", "ssh://h:", "ssh://h:+22", "ssh://h:22x", "ssh://"})
    EXPECT_EQ(IsSafeToLaunch(url), 0) << url;
  EXPECT_EQ(IsSafeToLaunch(static_cast<const char*>(nullptr)), 0);
}
