#include "platform/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestFolder.h"
#include "platform/Error.h"
#include "support/Unprivileged.h"

using namespace velmaro::platform;
using velmaro::test::ReadAll;
using velmaro::test::RunUnprivileged;
using velmaro::test::TTestFolder;

TEST(IniRead, MissingFileSectionOrKeyGiveTheDefault) {
  TTestFolder folder;
  EXPECT_EQ(IniReadString(folder.Path16("none.ini"), u"Velmaro", u"DBPath", u"dflt"), u"dflt");
  auto ini = folder.Path16("a.ini");
  folder.Write("a.ini", "[Other]\nDBPath=x\n[Velmaro]\nName=y\n");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"DBPath", u"dflt"), u"dflt");
  EXPECT_EQ(IniReadString(ini, u"Missing", u"Name", u"dflt"), u"dflt");
  EXPECT_EQ(IniReadString(folder.Path16(""), u"Velmaro", u"DBPath", u"dflt"), u"dflt");  // a folder
}

TEST(IniRead, NamesIgnoreCaseAndValuesAreTrimmedAndUnquoted) {
  TTestFolder folder;
  auto ini = folder.Path16("a.ini");
  folder.Write("a.ini",
               "\xEF\xBB\xBF[ velmaro ]\r\n"
               "; DBPath=comment\r\n"
               "  dbpath =  /music/my lib.db  \r\n"
               "Quoted=\"  spaced  \"\r\n"
               "Single='x'\r\n"
               "Half=\"open\r\n"
               "Empty=\r\n"
               "Name=J\xC3\xBCrgen\r\n"
               "[Second]\r\n"
               "DBPath=wrong\r\n");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"DBPATH", u""), u"/music/my lib.db");
  EXPECT_EQ(IniReadString(ini, u"VELMARO", u"Quoted", u""), u"  spaced  ");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"Single", u""), u"x");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"Half", u""), u"\"open");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"Empty", u"dflt"), u"");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"Name", u""), u"J\u00fcrgen");
  EXPECT_EQ(IniReadString(ini, u"second", u"dbpath", u""), u"wrong");
}

TEST(IniWrite, CreatesFileAndSection) {
  TTestFolder folder;
  auto ini = folder.Path16("new.ini");
  IniWriteString(ini, u"Velmaro", u"DBPath", u"/m/VORNAK.DB");
  EXPECT_EQ(ReadAll(folder.Path("new.ini")), "[Velmaro]\nDBPath=/m/VORNAK.DB\n");
  IniWriteString(ini, u"Velmaro", u"Other", u"J\u00fcrgen");
  IniWriteString(ini, u"Velmaro", u"dbpath", u"/n/x.db");
  EXPECT_EQ(ReadAll(folder.Path("new.ini")), "[Velmaro]\nDBPath=/n/x.db\nOther=J\xC3\xBCrgen\n");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"Other", u""), u"J\u00fcrgen");
}

TEST(IniWrite, KeepsEveryOtherLineAndTheLineEnds) {
  TTestFolder folder;
  auto ini = folder.Path16("a.ini");
  const std::string before =
      "; settings\r\n"
      "[Velmaro]\r\n"
      "  DbPath = /old.db\r\n"
      "Keep=1 ; not a comment\r\n"
      "\r\n"
      "[Other]\r\n"
      "DBPath=/other.db\r\n"
      "latin1=\xE9\r\n";
  folder.Write("a.ini", before);

  // Rewriting a key changes only its line; spelling and indentation stay.
  IniWriteString(ini, u"VELMARO", u"DBPATH", u"/new.db");
  std::string expected = before;
  expected.replace(expected.find("  DbPath = /old.db"), 18, "  DbPath=/new.db");
  EXPECT_EQ(ReadAll(folder.Path("a.ini")), expected);

  // A new key goes after the section's last line, before the blank line.
  IniWriteString(ini, u"Velmaro", u"Added", u"2");
  expected.insert(expected.find("\r\n\r\n[Other]") + 2, "Added=2\r\n");
  EXPECT_EQ(ReadAll(folder.Path("a.ini")), expected);

  // A new section goes at the end.
  IniWriteString(ini, u"Third", u"K", u"v");
  expected += "\r\n[Third]\r\nK=v\r\n";
  EXPECT_EQ(ReadAll(folder.Path("a.ini")), expected);
  EXPECT_EQ(IniReadString(ini, u"Other", u"DBPath", u""), u"/other.db");
}

TEST(IniWrite, FailuresThrowTheExactMessage) {
  TTestFolder folder;
  folder.Write("plain", "x");
  const std::string underFile = folder.Path("plain/a.ini");  // ENOTDIR, even for root
  try {
    IniWriteString(velmaro::platform::Utf8ToUtf16(underFile), u"Velmaro", u"DBPath", u"x");
    FAIL() << "no exception";
  } catch (const velmaro::EIniWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + underFile);
    EXPECT_STREQ(error.ClassName(), "EIniFileException");
  }
  EXPECT_THROW(IniWriteString(folder.Path16(""), u"Velmaro", u"DBPath", u"x"), velmaro::EIniWriteError);
  // A line break would add lines of its own to the file.
  folder.Write("a.ini", "[Velmaro]\nDBPath=a\n");
  EXPECT_THROW(IniWriteString(folder.Path16("a.ini"), u"Velmaro", u"DBPath", u"x\n[Evil]\nK=v"),
               velmaro::EIniWriteError);
  EXPECT_EQ(ReadAll(folder.Path("a.ini")), "[Velmaro]\nDBPath=a\n");
}

TEST(IniWrite, ReadOnlyFileOrFolderIsRefused) {
  TTestFolder folder;
  ::chmod(folder.Path("").c_str(), 0777);
  folder.Write("ro.ini", "[Velmaro]\nDBPath=a\n");
  folder.Write("rw.ini", "");
  ::chmod(folder.Path("ro.ini").c_str(), 0444);
  ::chmod(folder.Path("rw.ini").c_str(), 0666);
  ::mkdir(folder.Path("rodir").c_str(), 0555);

  auto writeFails = [](const std::u16string& path) {
    try {
      IniWriteString(path, u"Velmaro", u"DBPath", u"b");
    } catch (const velmaro::EIniWriteError&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(RunUnprivileged([&] {
    return !writeFails(folder.Path16("rw.ini"))  // the user can write where allowed
           && writeFails(folder.Path16("ro.ini")) && writeFails(folder.Path16("rodir/new.ini"));
  }));
  EXPECT_EQ(ReadAll(folder.Path("ro.ini")), "[Velmaro]\nDBPath=a\n");
}
