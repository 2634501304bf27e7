// Product location and URL launching, down to the arguments the started
// product receives. Products are copies of the recording program, registered
// below HKEY_LOCAL_MACHINE\Software\Quorvanta (a scratch hive on Linux, the
// fresh prefix under Wine).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "korvex/platform.h"
#include "platform/shell.h"
#include "korvex/url.h"
#include "tests/support/recorder.h"
#include "tests/support/scratch_registry.h"

namespace {

typedef std::vector<std::string> Args;

const std::string kVendor = "Software\\Quorvanta\\";

std::string Bytes(const CString& text) {
  return std::string(static_cast<const char*>(text), static_cast<size_t>(text.GetLength()));
}

// Keys below the vendor key, each deleted with everything below it afterwards.
class VendorKeys {
public:
  VendorKeys() = default;
  VendorKeys(const VendorKeys&) = delete;
  VendorKeys& operator=(const VendorKeys&) = delete;
  ~VendorKeys() {
    for (const std::string& top : tops_) SHDeleteKeyA(HKEY_LOCAL_MACHINE, (kVendor + top).c_str());
  }

  // Creates the key (a path below the vendor key) and, with a name or NULL for
  // the default value, sets a text value.
  void Set(const std::string& key, const char* name, const std::string& text) {
    HKEY handle = Create(key);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>(text.size() + 1)));
    RegCloseKey(handle);
  }
  void Add(const std::string& key) { RegCloseKey(Create(key)); }

private:
  HKEY Create(const std::string& key) {
    tops_.push_back(key.substr(0, key.find('\\')));
    HKEY handle = NULL;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kVendor + key).c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                             NULL, &handle, NULL));
    return handle;
  }
  std::vector<std::string> tops_;
};

// A fresh folder (without a trailing separator) holding copies of the
// recording program under the given product names.
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

struct Found {
  unsigned int result;
  std::string path;
};

Found Lookup(const char* product) {
  CString path;
  unsigned int result = GetProductPath(product, path);
  return {result, result ? Bytes(path) : std::string()};
}

std::string Rewritten(const char* url) {
  CUrlInfo record;
  CString text;
  EXPECT_EQ(record.ParseURL(url), 1) << url;
  record.MakeURL(text);
  return Bytes(text);
}

// The three products, installed the way their installers register them.
class Installed : public testing::Test {
protected:
  void SetUp() override {
    folder_ = ProductFolder({"Torvik", "Skiv", "Quellbar"});
    for (const char* product : {"Torvik", "Skiv"}) {
      keys_.Set(std::string(product) + "\\4", "Version", "4.2");
      keys_.Set(std::string(product) + "\\4", "Path", folder_);
    }
    keys_.Set("Quellbar\\12", "Path", folder_);
  }

  // ExecuteURL's result and, when it started a product, what that received.
  std::optional<Args> Launch(const char* url, int expected) {
    Recording recording;
    EXPECT_EQ(ExecuteURL(url), expected) << url;
    return expected ? recording.Wait() : std::nullopt;
  }

  std::string folder_;
  VendorKeys keys_;
};

}  // namespace

TEST(GetProductPath, BesideTheProgramWinsOverTheRegistry) {
  static std::atomic<int> counter{0};
  const std::string name = "Beside" + std::to_string(counter++);
  const std::string beside = FolderOfThisProgram() + name + ProgramExtension();
  std::filesystem::copy_file(RecorderPath(), beside, std::filesystem::copy_options::overwrite_existing);
  VendorKeys keys;
  keys.Set(name + "\\7", "Path", ProductFolder({name}));
  Found found = Lookup(name.c_str());
  std::filesystem::remove(beside);
  EXPECT_EQ(found.result, 3u);
  EXPECT_EQ(found.path, beside);
}

TEST(GetProductPath, ProductKeyChoosesTheVersionByTextAndGatesTerminalAndTransfer) {
  const std::string folder = ProductFolder({});
  const std::string other = folder + "-other";
  struct Value {
    std::string key;
    const char* name;
    std::string text;
  };
  struct Case {
    const char* what;
    const char* product;
    std::vector<Value> values;
    unsigned int result;
    std::string path;
  } cases[] = {
      {"9 is above 10 as text",
       "Quellbar",
       {{"10", "Path", other}, {"9", "Path", folder}},
       9,
       ProgramIn(folder, "Quellbar")},
      {"any name, no gate", "Gadget", {{"2.5", "Path", folder}}, 2, ProgramIn(folder, "Gadget")},
      {"the Version text counts",
       "Torvik",
       {{"1", "Version", "3.1"}, {"1", "Path", folder}},
       3,
       ProgramIn(folder, "Torvik")},
      {"no Version", "Torvik", {{"5", "Path", folder}}, 0, ""},
      {"Version 1.0", "skiv", {{"5", "Version", "1.0"}, {"5", "Path", folder}}, 0, ""},
      {"Version below 1.0", "SKIV", {{"5", "Version", "0.9"}, {"5", "Path", folder}}, 0, ""},
      {"the display server's fallback", "QUELLBAR", {{"6\\6", NULL, folder}}, 6, ProgramIn(folder, "QUELLBAR")},
      {"no fallback for others", "Gadget", {{"6\\6", NULL, folder}}, 0, ""},
      {"a long version name listed first", "Gadget", {{"10000000", "Path", other}, {"9", "Path", folder}}, 0, ""},
      {"a version that is no number", "Gadget", {{"beta", "Path", folder}}, 0, ""},
      {"a Path longer than a path", "Gadget", {{"2", "Path", std::string(300, 'p')}}, 0, ""},
      {"an empty Path", "Gadget", {{"2", "Path", ""}}, 2, ProgramExtension()},
      {"a missing folder is not checked", "Gadget", {{"2", "Path", other}}, 2, ProgramIn(other, "Gadget")},
      {"no version key", "Gadget", {}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VendorKeys keys;
    keys.Add(std::string(c.product));
    for (const Value& v : c.values) keys.Set(std::string(c.product) + "\\" + v.key, v.name, v.text);
    Found found = Lookup(c.product);
    EXPECT_EQ(found.result, c.result);
    EXPECT_EQ(found.path, c.path);
  }
}

TEST(GetProductPath, SuiteFolderCountsOnlyWhenTheProgramIsThere) {
  const std::string withTorvik = ProductFolder({"Torvik"});
  const std::string empty = ProductFolder({});
  struct Case {
    const char* what;
    std::string suiteFolder;
    bool gateFails;
    unsigned int result;
  } cases[] = {
      {"no product key", withTorvik, false, 5},
      {"program missing", empty, false, 0},
      {"the product's gate fails", withTorvik, true, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VendorKeys keys;
    keys.Set("Vantoria\\5", "Path", c.suiteFolder);
    keys.Set("Vantoria\\40", "Path", empty);
    if (c.gateFails) keys.Set("Torvik\\2", "Version", "1.0");
    Found found = Lookup("Torvik");
    EXPECT_EQ(found.result, c.result);
    EXPECT_EQ(found.path, c.result ? ProgramIn(withTorvik, "Torvik") : "");
  }
}

TEST_F(Installed, UrlReachesTheProductAsTheTableSays) {
  struct Case {
    const char* url;
    Args args;
  } cases[] = {
      {"ssh://user@host:22/a/b?k=v", {"-url", "ssh://user@host:22/a%2Fb?k=v"}},
      {"SSH://h", {"-url", "SSH://h"}},
      {"TeLnEt://h:23", {"-url", "TeLnEt://h:23"}},
      {"rlogin://u:p%40ss@h", {"-url", "rlogin://u:p%40ss@h"}},
      {"ftp://u@h/dir/file", {"-url", "ftp://u@h/dir%2Ffile"}},
      {"sftp://h?a=1&b=x+y", {"-url", Rewritten("sftp://h?a=1&b=x+y")}},
      {"SFTP://h/caf%E9/a\\b", {"-url", "SFTP://h/caf\xE9%2Fa\\b"}},
      {"xdmcp://user@display.example:177/p?x=y", {":[0]", "-query", "display.example"}},
      {"XDM://h", {":[0]", "-query", "h"}},
      {"xdmcp://us%20er@h/%09?k=%22", {":[0]", "-query", "h"}},
      // Shell characters arrive as they are.
      {"ssh://h?c=$(id)|x;y`z`", {"-url", "ssh://h?c=$(id)|x;y`z`"}},
      // Fields that split: the unquoted parameter text lets them.
      {"xdmcp://a%20-b", {":[0]", "-query", "a", "-b"}},
      {"ssh://h%09-evil", {"-url", "ssh://h", "-evil"}},
      {"ssh://a%22b@h", {"-url", "ssh://ab@h"}},
      {"xdmcp://%22a b%22", {":[0]", "-query", "a b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::optional<Args> args = Launch(c.url, 1);
    ASSERT_TRUE(args.has_value()) << "nothing started";
    EXPECT_EQ(*args, c.args);
  }
}

TEST_F(Installed, FailuresStartNothing) {
  keys_.Set("Skiv\\9", "Version", "9.0");
  keys_.Set("Skiv\\9", "Path", folder_ + "-missing");
  const char* failures[] = {"", "host", "http://h", "xdmcpx://h", "ssh://", "://h", "ssh://@h", "ftp://h"};
  std::vector<Recording> recordings;
  recordings.reserve(sizeof failures / sizeof failures[0]);
  for (const char* url : failures) {
    recordings.emplace_back();
    EXPECT_EQ(ExecuteURL(url), 0) << url;
  }
  // A start after them all; anything they started would have recorded by then.
  ASSERT_TRUE(Launch("telnet://h", 1).has_value());
  for (size_t i = 0; i < recordings.size(); ++i) EXPECT_FALSE(recordings[i].Exists()) << failures[i];

  CUrlInfo record;
  EXPECT_EQ(ExecuteURL(record), 0);
}

// The safe records among these reach the product as UrlReachesTheProductAsTheTableSays shows.
TEST(IsSafeToLaunch, RefusesFieldsThatWouldSplitOrStartWithADash) {
  struct Case {
    const char* url;
    int safe;
  } cases[] = {
      {"ssh://user@host:22/a/b?k=v", 1},
      {"SFTP://h/caf%E9/a\\b", 1},
      {"xdmcp://host", 1},
      {"xdmcp://us%20er@h/%09?k=%22", 1},
      {"xdmcp://a%20-b", 0},
      {"xdm://-query", 0},
      {"xdmcp://h%09x", 0},
      {"xdmcp://h%22", 0},
      {"xdmcp://h%00x", 0},
      {"ssh://h%09-evil", 0},
      {"ssh://-oProxyCommand=x@h", 0},
      {"ssh://u:-p@h", 0},
      {"ssh://u@h?x=%22", 0},
      {"ssh://u@h?%0A=1", 0},
      {"ssh://u:%00@h", 0},
      {"ssh://u@h/%7F", 0},
      {"ssh://u@h?k=-v", 0},
      {"ssh://a+b@h", 0},
      {"telnet://h?-k=v", 0},
      {"http://h", 0},
      {"h", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    CUrlInfo record;
    ASSERT_EQ(record.ParseURL(c.url), 1);
    EXPECT_EQ(IsSafeToLaunch(record), c.safe);
    EXPECT_EQ(IsSafeToLaunch(c.url), c.safe);
  }
  // The text form also refuses a port the record keeps only 16 bits of.
  struct Port {
    const char* url;
    int safe;
  } ports[] = {{"ssh://h:22/p", 1}, {"ssh://h:65535", 1}, {"ssh://h:99999/", 0},   {"ssh://h:65536", 0},
               {"ssh://h:0", 0},    {"ssh://h:", 0},      {"ssh://h:+22", 0},      {"ssh://h: 22", 0},
               {"ssh://h:-1", 0},   {"ssh://h:22x", 0},   {"ssh://u:pw@h/a:1", 1}, {"ssh://", 0}};
  for (const Port& c : ports) EXPECT_EQ(IsSafeToLaunch(c.url), c.safe) << c.url;
  EXPECT_EQ(IsSafeToLaunch(static_cast<const char*>(nullptr)), 0);
}
