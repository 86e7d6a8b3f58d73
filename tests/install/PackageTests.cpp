// The Debian package, unpacked into a scratch folder: velmaro must find
// the plug-in in its installed place and work from there.
#include <gtest/gtest.h>

#include "DoubleCommander.h"
#include "support/CommandRunner.h"

using namespace velmaro::test;
namespace fs = std::filesystem;

namespace {

TEST(Package, VelmaroRunsFromTheUnpackedPackageWithItsPluginAndManual) {
  const fs::path deb = BuiltPackage();
  if (deb.empty()) GTEST_SKIP() << "no package in build/package: scripts/package builds it";
  TUnpackedPackage package(deb);
  ASSERT_TRUE(package.Ok()) << package.Output();
  const fs::path root = package.Root();
  EXPECT_TRUE(fs::exists(root / "usr/lib/velmaro/Melvanto.wfx"));
  EXPECT_TRUE(fs::exists(root / "usr/share/man/man1/velmaro.1.gz"));

  // No VELMARO_PLUGIN, no --plugin: the program finds ../lib/velmaro.
  TTestFolder scratch;
  int status = -1;
  const std::string listing = RunCommand("env -u VELMARO_PLUGIN " + ShellQuoted((root / "usr/bin/velmaro").string()) +
                                             " --ini " + ShellQuoted(scratch.Path("velmaro.ini")) + " ls / 2>&1",
                                         &status);
  EXPECT_EQ(status, 0) << listing;
  EXPECT_NE(listing.find("Albums"), std::string::npos) << listing;
  EXPECT_TRUE(fs::exists(scratch.Path("VORNAK.DB")));

  // The libraries both files need are declared.
  const std::string depends = RunCommand("dpkg-deb --field " + ShellQuoted(deb.string()) + " Depends");
  for (const char* library : {"libsqlite3", "libicu", "libfltk1.3", "libpugixml"})
    EXPECT_NE(depends.find(library), std::string::npos) << library << " missing from: " << depends;
}

}  // namespace
