#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Platform.h"
#include "support/SystemSupport.h"
#include "support/TestFolder.h"
#include "support/Unprivileged.h"

using namespace velmaro::platform;
namespace fs = std::filesystem;
using velmaro::test::ReadAll;
using velmaro::test::Utf8Path;
using velmaro::test::GiveToUnprivileged;
using velmaro::test::IsPrivileged;
using velmaro::test::OwnerOf;
using velmaro::test::RunUnprivileged;
using velmaro::test::RunWithFileSizeLimit;
using velmaro::test::TTestFolder;

namespace {

// The file's lines in the platform's style: line feeds and UTF-8 on POSIX;
// on Windows the system's carriage returns and line feeds, and the ANSI
// code page (Windows-1252 here) for text it can hold.
std::string IniText(std::string text) {
  if (!IsWindows) return text;
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      result += "\r\n";
    } else if (text.compare(i, 2, "\xC3\xBC") == 0) {
      result += '\xFC';
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

// The lines that are not blank, without surrounding blanks: POSIX keeps
// every byte of the lines it does not write, Windows rewrites the whole
// file in its own spacing.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    line.erase(0, line.find_first_not_of(" \r"));
    line.erase(line.find_last_not_of(" \r") + 1);
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

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
  EXPECT_EQ(ReadAll(folder.Path("new.ini")), IniText("[Velmaro]\nDBPath=/m/VORNAK.DB\n"));
  IniWriteString(ini, u"Velmaro", u"Other", u"J\u00fcrgen");
  IniWriteString(ini, u"Velmaro", u"dbpath", u"/n/x.db");
  if (velmaro::test::AnsiCodePage() == 1252) {
    EXPECT_EQ(ReadAll(folder.Path("new.ini")), IniText("[Velmaro]\nDBPath=/n/x.db\nOther=J\xC3\xBCrgen\n"));
  }
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"Other", u""), u"J\u00fcrgen");
}

TEST(IniWrite, TextBeyondTheCodePageSurvives) {
  TTestFolder folder;
  auto ini = folder.Path16("new.ini");
  IniWriteString(ini, u"Velmaro", u"DBPath", u"C:\\\u97f3\u697d\\\u0100.db");
  IniWriteString(ini, u"Velmaro", u"Other", u"x");
  EXPECT_EQ(IniReadString(ini, u"Velmaro", u"DBPath", u""), u"C:\\\u97f3\u697d\\\u0100.db");
  EXPECT_EQ(IniReadString(ini, u"velmaro", u"OTHER", u""), u"x");
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

  auto expectFile = [&](const std::string& expected) {
    const std::string file = ReadAll(folder.Path("a.ini"));
    if (IsWindows) {
      EXPECT_EQ(Lines(file), Lines(expected));
    } else {
      EXPECT_EQ(file, expected);
    }
  };

  // Rewriting a key changes only its line; spelling and indentation stay.
  IniWriteString(ini, u"VELMARO", u"DBPATH", u"/new.db");
  std::string expected = before;
  expected.replace(expected.find("  DbPath = /old.db"), 18, "  DbPath=/new.db");
  expectFile(expected);

  // A new key goes after the section's last line, before the blank line.
  IniWriteString(ini, u"Velmaro", u"Added", u"2");
  expected.insert(expected.find("\r\n\r\n[Other]") + 2, "Added=2\r\n");
  expectFile(expected);

  // A new section goes at the end.
  IniWriteString(ini, u"Third", u"K", u"v");
  expected += "\r\n[Third]\r\nK=v\r\n";
  expectFile(expected);
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

namespace {

bool WriteFails(const std::u16string& path) {
  try {
    IniWriteString(path, u"Velmaro", u"DBPath", u"b");
  } catch (const velmaro::EIniWriteError&) {
    return true;
  }
  return false;
}

constexpr fs::perms ReadAndEnter = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

}  // namespace

TEST(IniWrite, AWriteCutShortLeavesTheFileAsItWas) {
  if (IsWindows) GTEST_SKIP() << "the system's own ini functions write the file";
  TTestFolder folder;
  const std::string before = "[Velmaro]\nDBPath=/old.db\nNote=" + std::string(2000, 'n') + "\n";
  folder.Write("a.ini", before);
  // As on a full disk: no more than 1,024 bytes of the new text get written.
  EXPECT_TRUE(RunWithFileSizeLimit(1024, [&] { return WriteFails(folder.Path16("a.ini")); }));
  EXPECT_TRUE(ReadAll(folder.Path("a.ini")) == before) << "old and new bytes mixed";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1)
      << "the temporary file was left behind";
}

TEST(IniWrite, TheRewrittenFileKeepsItsModeItsOwnerAndItsLink) {
  if (IsWindows) GTEST_SKIP() << "the system's own ini functions write the file";
  TTestFolder folder;
  folder.Write("real.ini", "[Velmaro]\nDBPath=a\n");
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(Utf8Path(folder.Path("real.ini")), mode);
  if (IsPrivileged()) {
    ASSERT_TRUE(GiveToUnprivileged(folder.Path("real.ini")));
  }
  const std::string owner = OwnerOf(folder.Path("real.ini"));
  fs::create_symlink("real.ini", Utf8Path(folder.Path("link.ini")));

  IniWriteString(folder.Path16("link.ini"), u"Velmaro", u"DBPath", u"b");
  EXPECT_TRUE(fs::is_symlink(Utf8Path(folder.Path("link.ini"))));
  EXPECT_EQ(ReadAll(folder.Path("real.ini")), "[Velmaro]\nDBPath=b\n");
  EXPECT_EQ(fs::status(Utf8Path(folder.Path("real.ini"))).permissions(), mode);
  EXPECT_EQ(OwnerOf(folder.Path("real.ini")), owner);

  // A link to a file not there yet writes the file it names.
  fs::create_symlink("later.ini", Utf8Path(folder.Path("ahead.ini")));
  IniWriteString(folder.Path16("ahead.ini"), u"Velmaro", u"DBPath", u"c");
  EXPECT_TRUE(fs::is_symlink(Utf8Path(folder.Path("ahead.ini"))));
  EXPECT_EQ(ReadAll(folder.Path("later.ini")), "[Velmaro]\nDBPath=c\n");
}

TEST(IniWrite, ReadOnlyFileIsRefused) {
  TTestFolder folder;
  fs::permissions(folder.Path(), fs::perms::all);
  folder.Write("ro.ini", "[Velmaro]\nDBPath=a\n");
  folder.Write("rw.ini", "");
  fs::permissions(Utf8Path(folder.Path("ro.ini")), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(Utf8Path(folder.Path("rw.ini")), fs::perms::all);
  // Wine gives the read-only attribute as Unix permissions, which do not
  // bind root.
  if (IsWindows && std::ofstream(Utf8Path(folder.Path("ro.ini")), std::ios::app)) {
    fs::permissions(Utf8Path(folder.Path("ro.ini")), fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "this system lets the test write a read-only file (Wine run as root)";
  }
  EXPECT_TRUE(RunUnprivileged([&] {
    return !WriteFails(folder.Path16("rw.ini"))  // the user can write where allowed
           && WriteFails(folder.Path16("ro.ini"));
  }));
  EXPECT_EQ(ReadAll(folder.Path("ro.ini")), "[Velmaro]\nDBPath=a\n");
  fs::permissions(Utf8Path(folder.Path("ro.ini")), fs::perms::owner_write, fs::perm_options::add);
}

TEST(IniWrite, AReadOnlyFolderTakesNoNewFileButItsWritableFileIsWritten) {
  if (IsWindows) GTEST_SKIP() << "Windows has no read-only folders: the attribute does not stop new files";
  TTestFolder folder;
  fs::permissions(folder.Path(), fs::perms::all);
  fs::create_directory(Utf8Path(folder.Path("rodir")));
  folder.Write("rodir/old.ini", "[Velmaro]\nDBPath=a\n");
  fs::permissions(Utf8Path(folder.Path("rodir/old.ini")), fs::perms::all);
  fs::permissions(Utf8Path(folder.Path("rodir")), ReadAndEnter);
  // The file has no temporary file beside it: it is written in place.
  EXPECT_TRUE(RunUnprivileged([&] {
    return WriteFails(folder.Path16("rodir/new.ini")) && !WriteFails(folder.Path16("rodir/old.ini"));
  }));
  EXPECT_FALSE(fs::exists(Utf8Path(folder.Path("rodir/new.ini"))));
  EXPECT_EQ(ReadAll(folder.Path("rodir/old.ini")), "[Velmaro]\nDBPath=b\n");
}
