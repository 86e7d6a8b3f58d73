// velmaro install-plugin and uninstall-plugin on a configuration that
// Double Commander wrote itself: started once on an empty folder under a
// private X server and closed, as on a user's first day.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "DoubleCommander.h"
#include "host/DoubleCommanderConfig.h"
#include "support/CommandRunner.h"
#include "support/Unprivileged.h"

using namespace velmaro::test;
namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

const std::vector<std::string> PluginFields = {"Artist", "Title",   "Album",       "Track", "Genre",
                                               "Length", "Bitrate", "Sample Rate", "Rating"};

// The document as pugixml writes it: two files with the same elements,
// attributes and texts give the same text, whatever their indentation.
std::string Canonical(const std::string& xml) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_comments)) << xml.substr(0, 200);
  std::ostringstream out;
  document.save(out, " ", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

// The child `element` of the list whose <Name> is name.
pugi::xml_node Named(pugi::xml_node list, const char* element, const std::string& name) {
  return list.find_child([&](pugi::xml_node node) {
    return std::string(node.name()) == element && node.child_value("Name") == name;
  });
}

class InstallPlugin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (DoubleCommanderAvailable(SkipReason)) FirstConfig = FirstConfiguration(SkipReason);
  }

  void SetUp() override {
    if (!SkipReason.empty()) GTEST_SKIP() << SkipReason;
    fs::copy(FirstConfig, FConfig.Path(), fs::copy_options::recursive);
    FOriginal = ReadAll(ConfigFile());
  }

  std::string ConfigFile() const { return FConfig.Path("doublecmd.xml"); }
  std::string Velmaro(const std::string& command, int& status) const {
    return RunCommand(VelmaroCommand() + " " + command + " --config-dir " + ShellQuoted(FConfig.Path().string()) +
                          " 2>&1",
                      &status);
  }
  pugi::xml_node Load(pugi::xml_document& document) const {
    EXPECT_TRUE(document.load_file(ConfigFile().c_str()));
    return document.child("doublecmd");
  }

  static inline fs::path FirstConfig;
  static inline std::string SkipReason;
  TTestFolder FConfig;
  std::string FOriginal;
};

TEST_F(InstallPlugin, RegistersThePluginAndAColumnSetOfItsFieldsAndKeepsTheRest) {
  int status = -1;
  const std::string output = Velmaro("install-plugin", status);
  ASSERT_EQ(status, 0) << output;

  pugi::xml_document document;
  const pugi::xml_node root = Load(document);
  const pugi::xml_node plugin = Named(root.child("Plugins").child("WfxPlugins"), "WfxPlugin", "Velmaro");
  ASSERT_TRUE(plugin) << ReadAll(ConfigFile());
  EXPECT_STREQ(plugin.attribute("Enabled").value(), "True");
  EXPECT_EQ(plugin.child_value("Path"), fs::canonical(VELMARO_PLUGIN_PATH).string());

  const pugi::xml_node set = Named(root.child("ColumnsSets"), "ColumnsSet", "Velmaro");
  ASSERT_TRUE(set);
  EXPECT_STREQ(set.child_value("FileSystem"), "Velmaro");
  std::vector<std::string> titles, functions;
  for (pugi::xml_node column : set.child("Columns").children("Column")) {
    titles.push_back(column.child_value("Title"));
    functions.push_back(column.child_value("FuncString"));
  }
  std::vector<std::string> expectedTitles = {"Name", "Ext"};
  expectedTitles.insert(expectedTitles.end(), PluginFields.begin(), PluginFields.end());
  EXPECT_EQ(titles, expectedTitles);
  ASSERT_EQ(functions.size(), expectedTitles.size());
  EXPECT_EQ(functions[2], "[Plugin(FS).Artist{}]");
  EXPECT_EQ(functions[9], "[Plugin(FS).Sample Rate{}]");

  // What Double Commander wrote stays: its own plug-ins and column set.
  EXPECT_TRUE(Named(root.child("Plugins").child("WfxPlugins"), "WfxPlugin", "FTP"));
  EXPECT_TRUE(Named(root.child("ColumnsSets"), "ColumnsSet", "Default"));
  EXPECT_EQ(ReadAll(ConfigFile() + ".velmaro-backup"), FOriginal);
}

TEST_F(InstallPlugin, SecondInstallChangesNothingAndUninstallGivesBackTheOriginal) {
  int status = -1;
  ASSERT_EQ((Velmaro("install-plugin", status), status), 0);
  const std::string installed = ReadAll(ConfigFile());

  const std::string again = Velmaro("install-plugin", status);
  EXPECT_EQ(status, 0) << again;
  EXPECT_NE(again.find("nothing changed"), std::string::npos) << again;
  EXPECT_EQ(ReadAll(ConfigFile()), installed);
  EXPECT_EQ(ReadAll(ConfigFile() + ".velmaro-backup"), FOriginal) << "the backup of the original was replaced";

  const std::string removed = Velmaro("uninstall-plugin", status);
  ASSERT_EQ(status, 0) << removed;
  EXPECT_EQ(Canonical(ReadAll(ConfigFile())), Canonical(FOriginal));
  EXPECT_EQ(ReadAll(ConfigFile() + ".velmaro-backup"), installed);

  const std::string removedAgain = Velmaro("uninstall-plugin", status);
  EXPECT_EQ(status, 0) << removedAgain;
  EXPECT_NE(removedAgain.find("nothing changed"), std::string::npos) << removedAgain;
}

TEST_F(InstallPlugin, RefusedWhileDoubleCommanderRunsOnTheFolderOnly) {
  TXvfb xvfb;
  TDoubleCommander host(xvfb, FConfig.Path());
  ASSERT_FALSE(host.Window().empty()) << host.Log();

  int status = -1;
  const std::string output = Velmaro("install-plugin", status);
  EXPECT_EQ(status, 1) << output;
  EXPECT_NE(output.find("Double Commander is running (process " + host.Pid() + ")"), std::string::npos) << output;
  EXPECT_EQ(ReadAll(ConfigFile()), FOriginal);
  EXPECT_FALSE(fs::exists(ConfigFile() + ".velmaro-backup"));
  Velmaro("uninstall-plugin", status);
  EXPECT_EQ(status, 1);

  // A Double Commander that names another configuration folder is no
  // reason to refuse.
  TTestFolder other;
  const std::string elsewhere = RunCommand(VelmaroCommand() + " install-plugin --config-dir " +
                                               ShellQuoted(other.Path().string()) + " 2>&1",
                                           &status);
  EXPECT_EQ(status, 0) << elsewhere;
  EXPECT_TRUE(host.Quit());
}

TEST_F(InstallPlugin, RefusesAFileItCannotReadAsAConfigurationAndLeavesItAlone) {
  for (const std::string& content : {std::string("<doublecmd><Plugins>"), std::string("<?xml version=\"1.0\"?><html/>"),
                                     std::string()}) {
    SCOPED_TRACE(content);
    std::ofstream(ConfigFile(), std::ios::binary | std::ios::trunc) << content;
    int status = -1;
    const std::string output = Velmaro("install-plugin", status);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("nothing changed"), std::string::npos) << output;
    EXPECT_EQ(ReadAll(ConfigFile()), content);
    EXPECT_FALSE(fs::exists(ConfigFile() + ".velmaro-backup"));
  }
}

// Without a configuration the install writes a small one; Double Commander
// starts on it, shows the plug-in and keeps both entries when it rewrites
// the file on exit.
TEST_F(InstallPlugin, ANewConfigurationIsOneDoubleCommanderAccepts) {
  TTestFolder fresh;
  const fs::path dir = fresh.Path() / "doublecmd";
  int status = -1;
  const std::string output = RunCommand(
      VelmaroCommand() + " install-plugin --config-dir " + ShellQuoted(dir.string()) + " 2>&1", &status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_FALSE(fs::exists(dir / "doublecmd.xml.velmaro-backup"));

  TXvfb xvfb;
  {
    TDoubleCommander host(xvfb, dir);
    ASSERT_FALSE(host.Window().empty()) << host.Log();
    ASSERT_TRUE(host.Quit()) << host.Log();
  }
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file((dir / "doublecmd.xml").c_str()));
  const pugi::xml_node root = document.child("doublecmd");
  EXPECT_TRUE(Named(root.child("Plugins").child("WfxPlugins"), "WfxPlugin", "Velmaro"));
  EXPECT_TRUE(Named(root.child("ColumnsSets"), "ColumnsSet", "Velmaro"));
  // Its own defaults join ours rather than replace them.
  EXPECT_TRUE(root.child("Toolbars")) << ReadAll((dir / "doublecmd.xml").string()).substr(0, 400);
}

// The edits on files a user may have: made by the install itself, in
// this process, without Double Commander.
namespace doublecmd = velmaro::host::doublecmd;
const std::vector<doublecmd::TField> SomeFields = {{"Artist"}};
constexpr const char* SomePlugin = "/usr/lib/velmaro/Melvanto.wfx";

TEST(InstallPluginFile, TheDeclarationNamesTheEncodingOfTheBytesWritten) {
  TTestFolder config;
  // pugixml reads ISO-8859-1 by the declaration, and writes UTF-8.
  config.Write("doublecmd.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                "<doublecmd><Path>/home/j\xF6rg</Path></doublecmd>\n");
  doublecmd::Install(config.Path(), SomePlugin, SomeFields);
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(config.Path("doublecmd.xml").c_str()));
  EXPECT_STREQ(document.child("doublecmd").child_value("Path"), "/home/j\xC3\xB6rg");

  // A declared encoding it does not know, it reads as UTF-8: the bytes are
  // written back as they were, and so is the declaration.
  config.Write("doublecmd.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
                                "<doublecmd><Path>/home/j\xF6rg</Path></doublecmd>\n");
  doublecmd::Install(config.Path(), SomePlugin, SomeFields);
  const std::string written = ReadAll(config.Path("doublecmd.xml"));
  EXPECT_NE(written.find("encoding=\"windows-1252\""), std::string::npos) << written;
  EXPECT_NE(written.find("<Path>/home/j\xF6rg</Path>"), std::string::npos) << written;
}

TEST(InstallPluginFile, AnEntrySwitchedOffIsEnabled) {
  TTestFolder config;
  config.Write("doublecmd.xml", std::string("<doublecmd><Plugins><WfxPlugins><WfxPlugin Enabled=\"False\">"
                                            "<Name>Velmaro</Name><Path>") +
                                    SomePlugin + "</Path></WfxPlugin></WfxPlugins></Plugins></doublecmd>");
  EXPECT_TRUE(doublecmd::Install(config.Path(), SomePlugin, SomeFields).Changed);
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(config.Path("doublecmd.xml").c_str()));
  const pugi::xml_node plugins = document.child("doublecmd").child("Plugins").child("WfxPlugins");
  const pugi::xml_node plugin = Named(plugins, "WfxPlugin", "Velmaro");
  EXPECT_STREQ(plugin.attribute("Enabled").value(), "True");
}

// As through sudo: root installs into a user's configuration.
TEST(InstallPluginFile, RunByRootOnAUsersConfigurationEverythingStaysTheUsers) {
  if (!IsPrivileged()) GTEST_SKIP() << "needs root, as under sudo";
  TTestFolder home;
  ASSERT_TRUE(GiveToUnprivileged(home.Path().string()));
  const std::string user = std::to_string(UnprivilegedId) + ":" + std::to_string(UnprivilegedId);
  // A new configuration: the folders made for it and the file.
  const fs::path dir = home.Path() / ".config" / "doublecmd";
  doublecmd::Install(dir, SomePlugin, SomeFields);
  for (const fs::path& made : {dir.parent_path(), dir, dir / "doublecmd.xml"})
    EXPECT_EQ(OwnerOf(made.string()), user) << made;
  // An existing one: the file rewritten, and its backup.
  ASSERT_TRUE(doublecmd::Uninstall(dir).Changed);
  for (const char* name : {"doublecmd.xml", "doublecmd.xml.velmaro-backup"})
    EXPECT_EQ(OwnerOf((dir / name).string()), user) << name;

  // The user's own Double Commander uses it (one without a folder on its
  // command line uses the default, which this may be).
  TTestFolder bin;
  fs::copy_file("/bin/sleep", bin.Path() / "doublecmd");
  std::string pid = RunCommand("setpriv --reuid=" + std::to_string(UnprivilegedId) + " --regid=" +
                               std::to_string(UnprivilegedId) + " --clear-groups " +
                               ShellQuoted((bin.Path() / "doublecmd").string()) + " 30 >/dev/null 2>&1 & echo $!");
  pid.erase(pid.find_last_not_of('\n') + 1);
  ASSERT_TRUE(WaitFor([&] { return ReadAll("/proc/" + pid + "/comm") == "doublecmd\n"; }, 5s));
  const std::vector<int> running = doublecmd::RunningInstances(dir);
  RunCommand("kill " + pid);
  EXPECT_NE(std::find(running.begin(), running.end(), std::stoi(pid)), running.end());
}

}  // namespace
