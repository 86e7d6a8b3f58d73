// velmaro install-plugin and uninstall-plugin on a configuration that
// Double Commander wrote itself: started once on an empty folder under a
// private X server and closed, as on a user's first day.
#include <gtest/gtest.h>

#include <fstream>
#include <pugixml.hpp>
#include <sstream>

#include "DoubleCommander.h"
#include "support/CommandRunner.h"

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

}  // namespace
