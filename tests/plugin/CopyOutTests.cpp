// Local names and copying entries out: the real file under its real name,
// the host's overwrite rule, progress and abort, and every failure told
// apart and reported.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "library/SqlText.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "plugin/TCopyOut.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"
#include "support/LibraryFixture.h"
#include "support/SystemSupport.h"
#include "support/Unprivileged.h"

using namespace velmaro;
using velmaro::test::ReadAll;
using velmaro::test::RunUnprivileged;
using velmaro::test::TTestFolder;
namespace fs = std::filesystem;

namespace {

struct TProgressCall {
  int PluginNr;
  std::u16string Source, Target;
  int Percent;
};
struct TRequestCall {
  int PluginNr, Type;
  bool HasTitle;
  std::u16string Text;
};

std::vector<TProgressCall> ProgressCalls;
std::vector<TRequestCall> RequestCalls;
// Decides the answer of the progress callback: true aborts.
std::function<bool(const TProgressCall&)> AbortWhen;

int VELMARO_CALL Progress(int nr, char16_t* source, char16_t* target, int percent) {
  ProgressCalls.push_back({nr, source ? source : u"", target ? target : u"", percent});
  return AbortWhen && AbortWhen(ProgressCalls.back()) ? 1 : 0;
}

int VELMARO_CALL Request(int nr, int type, char16_t* title, char16_t* text, char16_t*, int) {
  RequestCalls.push_back({nr, type, title != nullptr, text ? text : u""});
  return 1;
}

class CopyOut : public ::testing::Test {
 protected:
  CopyOut() {
    ProgressCalls.clear();
    RequestCalls.clear();
    AbortWhen = nullptr;
    Plugin.FsInitW(7, Progress, nullptr, Request);
    fsapi::TDefaultParams params{};
    params.size = sizeof params;
    std::strncpy(params.DefaultIniName, test::HostText(Folder.Path("v.ini")).c_str(), sizeof params.DefaultIniName - 1);
    Plugin.FsSetDefaultParams(&params);
    fs::create_directories(Folder.Path("music"));
    fs::create_directories(Folder.Path("out"));
  }

  // A real file in the music folder and its library row; returns the rowid.
  long long AddTrack(const std::string& fileName, const std::string& content, bool favorite = false) {
    const std::u16string path = Folder.Path16("music/" + fileName);
    Folder.Write("music/" + fileName, content);
    Plugin.Library().LibraryDatabase->Execute16(
        u"insert into mp3files (mf_path, mf_artist, mf_title, mf_album, mf_genre, mf_favorite) values (" +
        SqlLiteral(path) + u", 'Someone', 'Intro', 'First', 'Rock', " + (favorite ? u"1" : u"0") + u")");
    return Scalar(u"select rowid from mp3files where mf_path=" + SqlLiteral(path));
  }
  long long Scalar(const std::u16string& sql) {
    TDISQLite3UniDirQuery query(Plugin.Library().LibraryDatabase.get());
    query.SetSQL(sql);
    query.Open();
    return query.Eof() ? -1 : query.Fields(0).AsInteger();
  }
  std::u16string ArtistEntry(long long id, const std::string& ext = ".mp3") {
    return VPath(u"\\Artists\\Someone\\Intro *") + platform::IntToU16(id) + platform::ToU16(ext);
  }
  int Get(const std::u16string& remote, const std::string& local, int flags = 0) {
    return Plugin.FsGetFileW(remote.c_str(), platform::Utf8ToUtf16(local).c_str(), flags);
  }
  std::vector<int> Percents() const {
    std::vector<int> percents;
    for (const TProgressCall& call : ProgressCalls) percents.push_back(call.Percent);
    return percents;
  }
  void List(std::u16string_view backslashed) {
    fsapi::TFindDataW data;
    const fsapi::THandle handle = Plugin.FsFindFirstW(VPath(backslashed).c_str(), &data);
    if (handle == fsapi::InvalidHandleValue) return;
    while (Plugin.FsFindNextW(handle, &data)) {
    }
    Plugin.FsFindClose(handle);
  }

  TTestFolder Folder;
  TPlugin Plugin;
};

TEST_F(CopyOut, LocalNamesResolveInEveryViewAndFoldersHaveNone) {
  const long long id = AddTrack("a.mp3", "audio", true);
  const std::u16string real = Folder.Path16("music/a.mp3");
  const std::u16string asEntry = ReplaceChar(real, platform::DirDelim, platform::AltDelim);
  List(u"\\Latest");
  for (const std::u16string& entry :
       {VPath(u"\\Titles\\") + asEntry, VPath(u"\\Favorites\\") + asEntry, VPath(u"\\Latest\\(01) a.mp3"),
        ArtistEntry(id), VPath(u"\\Albums\\Someone\\First\\Intro *") + platform::IntToU16(id) + u".mp3",
        VPath(u"\\Genres\\Rock\\Someone\\Intro *") + platform::IntToU16(id) + u".mp3"}) {
    char16_t buffer[1024] = {};
    std::copy(entry.begin(), entry.end(), buffer);
    EXPECT_EQ(Plugin.FsGetLocalNameW(buffer, 1024), platform::HostTrue) << platform::Utf16ToUtf8(entry);
    EXPECT_EQ(std::u16string(buffer), real);
  }
  for (const char16_t* folder : {u"\\", u"\\Albums", u"\\Albums\\Someone", u"\\Artists\\Someone", u"\\Settings",
                                 u"\\Artists\\Someone\\Gone *999.mp3"}) {
    char16_t buffer[1024] = {};
    const std::u16string entry = VPath(folder);
    std::copy(entry.begin(), entry.end(), buffer);
    EXPECT_EQ(Plugin.FsGetLocalNameW(buffer, 1024), platform::HostFalse) << platform::Utf16ToUtf8(entry);
    EXPECT_EQ(std::u16string(buffer), entry);
  }
  // A buffer of 10 characters gets 8 of them and the zero.
  const std::u16string entry = ArtistEntry(id);
  std::vector<char16_t> buffer(entry.begin(), entry.end());
  buffer.push_back(0);
  EXPECT_EQ(Plugin.FsGetLocalNameW(buffer.data(), 10), platform::HostTrue);
  EXPECT_EQ(std::u16string(buffer.data()), real.substr(0, 8));
}

TEST_F(CopyOut, CopiesTheRealFileUnderItsRealNameWithItsTime) {
  std::string content(700 * 1024, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 % 251);
  const long long id = AddTrack("a.mp3", content);
  // Whole seconds: Wine keeps no fractions of a second in a copy.
  const fs::file_time_type time =
      std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  fs::last_write_time(Folder.Path("music/a.mp3"), time);

  // The host proposes the entry's name; the copy gets the real one.
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("out/Intro *" + std::to_string(id) + ".mp3")), fsapi::FS_FILE_OK);
  EXPECT_FALSE(fs::exists(Folder.Path("out/Intro *" + std::to_string(id) + ".mp3")));
  EXPECT_EQ(ReadAll(Folder.Path("out/a.mp3")), content);
  EXPECT_EQ(fs::last_write_time(Folder.Path("out/a.mp3")), time);
  EXPECT_TRUE(RequestCalls.empty());
  EXPECT_EQ(Plugin.CopyOut().CopySource(), Folder.Path16("music/a.mp3"));
  EXPECT_EQ(Plugin.CopyOut().CopyTarget(), Folder.Path16("out/a.mp3"));

  // A Titles entry is named by the whole real path, drive colon included;
  // the target folder still ends at the last separator before that name.
  const std::u16string titlesName = ReplaceChar(Folder.Path16("music/a.mp3"), platform::DirDelim, platform::AltDelim);
  fs::create_directories(Folder.Path("titles"));
  const std::u16string proposed = Folder.Path16("titles") + platform::DirDelim + titlesName;
  EXPECT_EQ(Plugin.FsGetFileW((VPath(u"\\Titles\\") + titlesName).c_str(), proposed.c_str(), 0), fsapi::FS_FILE_OK);
  EXPECT_EQ(ReadAll(Folder.Path("titles/a.mp3")), content);
}

TEST_F(CopyOut, AnExistingTargetStaysUnlessTheHostAsksToOverwrite) {
  const long long id = AddTrack("a.mp3", "new audio");
  Folder.Write("out/a.mp3", "old");
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("out/x.mp3")), fsapi::FS_FILE_EXISTS);
  EXPECT_EQ(ReadAll(Folder.Path("out/a.mp3")), "old");
  EXPECT_TRUE(ProgressCalls.empty());
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("out/x.mp3"), fsapi::FS_COPYFLAGS_OVERWRITE), fsapi::FS_FILE_OK);
  EXPECT_EQ(ReadAll(Folder.Path("out/a.mp3")), "new audio");
}

TEST_F(CopyOut, ProgressStartsWithTheHostsNamesAndRisesToOneHundred) {
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  const long long id = AddTrack("a.mp3", std::string(1000 * 1000, 'x'));
  const std::string local = Folder.Path("out/proposed.mp3");
  ASSERT_EQ(Get(ArtistEntry(id), local), fsapi::FS_FILE_OK);
  ASSERT_GE(ProgressCalls.size(), 3u);
  EXPECT_EQ(ProgressCalls[0].PluginNr, 7);
  EXPECT_EQ(ProgressCalls[0].Source, ArtistEntry(id));
  EXPECT_EQ(ProgressCalls[0].Target, platform::Utf8ToUtf16(local));
  EXPECT_EQ(ProgressCalls[0].Percent, 0);
  for (std::size_t i = 1; i < ProgressCalls.size(); ++i) {
    EXPECT_EQ(ProgressCalls[i].Source, Folder.Path16("music/a.mp3"));
    EXPECT_EQ(ProgressCalls[i].Target, Folder.Path16("out/a.mp3"));
    EXPECT_GT(ProgressCalls[i].Percent, ProgressCalls[i - 1].Percent);
  }
  EXPECT_EQ(ProgressCalls.back().Percent, 100);

  // An empty file has no total to measure against.
  ProgressCalls.clear();
  const long long empty = AddTrack("e.ogg", "");
  ASSERT_EQ(Get(ArtistEntry(empty, ".ogg"), Folder.Path("out/e.ogg")), fsapi::FS_FILE_OK);
  EXPECT_EQ(Percents(), (std::vector<int>{0, -1}));
  EXPECT_TRUE(fs::exists(Folder.Path("out/e.ogg")));
}

TEST_F(CopyOut, AnAbortBeforeOrDuringTheCopyLeavesNoTarget) {
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  const long long id = AddTrack("a.mp3", std::string(2 * 1000 * 1000, 'x'));
  AbortWhen = [](const TProgressCall& call) { return call.Percent == 0; };
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("out/a.mp3")), fsapi::FS_FILE_USERABORT);
  EXPECT_EQ(Percents(), (std::vector<int>{0}));
  EXPECT_FALSE(fs::exists(Folder.Path("out/a.mp3")));

  ProgressCalls.clear();
  AbortWhen = [](const TProgressCall& call) { return call.Percent > 0; };
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("out/a.mp3")), fsapi::FS_FILE_USERABORT);
  EXPECT_EQ(ProgressCalls.size(), 2u);
  EXPECT_FALSE(fs::exists(Folder.Path("out/a.mp3")));
  // The user cancelled: nothing to tell them.
  EXPECT_TRUE(RequestCalls.empty());
}

TEST_F(CopyOut, ReadFailuresAreReportedAsSuch) {
  // An entry with no row behind it.
  EXPECT_EQ(Get(ArtistEntry(999), Folder.Path("out/x.mp3")), fsapi::FS_FILE_READERROR);
  ASSERT_EQ(RequestCalls.size(), 1u);
  EXPECT_EQ(RequestCalls[0].PluginNr, 7);
  EXPECT_EQ(RequestCalls[0].Type, fsapi::RT_MsgOK);
  EXPECT_FALSE(RequestCalls[0].HasTitle);
  EXPECT_FALSE(RequestCalls[0].Text.empty());

  // A row whose file has gone from the disk.
  RequestCalls.clear();
  const long long id = AddTrack("gone.mp3", "audio");
  fs::remove(Folder.Path("music/gone.mp3"));
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("out/x.mp3")), fsapi::FS_FILE_READERROR);
  ASSERT_EQ(RequestCalls.size(), 1u);
  EXPECT_EQ(RequestCalls[0].Text, platform::SysErrorMessage(ENOENT));
  EXPECT_TRUE(fs::is_empty(Folder.Path("out")));
}

TEST_F(CopyOut, WriteFailuresAreReportedAndNeverHurtTheSource) {
  const long long id = AddTrack("a.mp3", "precious audio");
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("missing/x.mp3")), fsapi::FS_FILE_WRITEERROR);
  ASSERT_EQ(RequestCalls.size(), 1u);
  const std::uint32_t pathNotFound = platform::IsWindows ? 3 : ENOENT;
  EXPECT_EQ(RequestCalls[0].Text, platform::SysErrorMessage(pathNotFound));

  // Copying a file onto itself, overwrite asked: refused, the file intact.
  RequestCalls.clear();
  EXPECT_EQ(Get(ArtistEntry(id), Folder.Path("music/x.mp3"), fsapi::FS_COPYFLAGS_OVERWRITE),
            fsapi::FS_FILE_WRITEERROR);
  EXPECT_EQ(RequestCalls.size(), 1u);
  EXPECT_EQ(ReadAll(Folder.Path("music/a.mp3")), "precious audio");
}

TEST_F(CopyOut, AFolderTheUserMayNotWriteToIsAWriteFailure) {
  if (platform::IsWindows) GTEST_SKIP() << "Windows has no read-only folders: the attribute does not stop new files";
  const long long id = AddTrack("a.mp3", "precious audio");
  fs::create_directories(Folder.Path("locked"));
  fs::permissions(Folder.Path("locked"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const std::u16string entry = ArtistEntry(id);
  const std::string local = Folder.Path("locked/x.mp3");
  EXPECT_TRUE(RunUnprivileged([&] {
    return Get(entry, local) == fsapi::FS_FILE_WRITEERROR && !fs::exists(Folder.Path("locked/a.mp3"));
  }));
}

TEST(LongPaths, WindowsGetsTheExtendedFormFrom256Characters) {
  const std::u16string tail(250, u'x');
  const std::u16string local = u"C:\\" + tail;  // 253 characters
  EXPECT_EQ(WindowsLongPath(local), local);
  EXPECT_EQ(WindowsLongPath(local + u"abc"), u"\\\\?\\" + local + u"abc");
  const std::u16string network = u"\\\\srv\\share\\" + tail + tail;
  EXPECT_EQ(WindowsLongPath(network), u"\\\\?\\UNC\\srv\\share\\" + tail + tail);
  const std::u16string prefixed = u"\\\\?\\C:\\" + tail + tail;
  EXPECT_EQ(WindowsLongPath(prefixed), prefixed);
  // A doubled separator inside a local path does not make it a network path.
  const std::u16string doubled = u"C:\\music\\\\" + tail;
  EXPECT_EQ(WindowsLongPath(doubled), u"\\\\?\\" + doubled);
  if (!platform::IsWindows) {
    EXPECT_EQ(ToLongPath(doubled + tail), doubled + tail);
  }
}

TEST(CopyPercents, RoundToTheNearestAndCountEveryByte) {
  EXPECT_EQ(CopyPercent(0, 0), -1);
  EXPECT_EQ(CopyPercent(3, 0), 0);
  EXPECT_EQ(CopyPercent(3, 1), 33);
  EXPECT_EQ(CopyPercent(3, 2), 67);
  EXPECT_EQ(CopyPercent(200, 1), 1);
  EXPECT_EQ(CopyPercent(3, 3), 100);
  // Files beyond 4 GiB: the full sizes, not their low 32 bits.
  const std::int64_t gib = std::int64_t{1} << 30;
  EXPECT_EQ(CopyPercent(6 * gib, 3 * gib), 50);
  EXPECT_EQ(CopyPercent(5 * gib, 4 * gib + gib / 2), 90);
  EXPECT_EQ(CopyPercent(6 * gib, 6 * gib), 100);
}

}  // namespace

namespace {

// While a file is copied the host's column thread must not wait for the
// copy to end, and a progress callback that waits for that thread must not
// deadlock: the copy and every call into the host run without the lock.
TEST_F(CopyOut, TheLockIsFreeWhileTheFileIsCopied) {
  SKIP_UNLESS_COPY_REPORTS_PROGRESS();
  const long long id = AddTrack("big.mp3", std::string(3 << 20, 'x'));
  const std::u16string entry = ArtistEntry(id);
  bool answered = true, probed = false;
  AbortWhen = [&](const TProgressCall& call) {
    if (probed || call.Percent <= 0 || call.Percent >= 100) return false;
    probed = true;
    // The column thread asks while the main thread copies.
    // It takes the lock as the export does, but gives up after a while
    // instead of hanging the test when the lock is never let go.
    auto column = std::async(std::launch::async, [&] {
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!Plugin.Lock().try_lock()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      char16_t value[64] = {};
      const int type = Plugin.FsContentGetValueW(entry.c_str(), 0, 0, value, sizeof value, 0);
      Plugin.Lock().unlock();
      return type == fsapi::ft_stringw && std::u16string(value) == u"Someone";
    });
    answered = answered && column.get();
    return false;
  };
  EXPECT_EQ(Get(entry, Folder.Path("out/big.mp3")), fsapi::FS_FILE_OK);
  EXPECT_TRUE(probed);
  EXPECT_TRUE(answered);
}

}  // namespace
