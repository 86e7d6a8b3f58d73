// One library, many hands: a copy on one of the host's threads while
// Settings works on another, another program writing the same file, and
// each call's messages delivered by that call.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "platform/Text.h"
#include "plugin/PutDelete.h"
#include "plugin/TPlugin.h"
#include "plugin/VirtualPath.h"
#include "support/MpegBuilder.h"
#include "support/SystemSupport.h"
#include "support/TScriptedView.h"
#include "support/TestFolder.h"
#include "ui/TfmMainSettings.h"

using namespace velmaro;
using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

namespace {

// What the plug-in asked the host to show, and on which thread.
struct TShown {
  std::thread::id Thread;
  std::u16string Text;
};
std::mutex ShownLock;
std::vector<TShown> Shown;

int VELMARO_CALL Request(int, int, char16_t*, char16_t* text, char16_t*, int) {
  std::lock_guard<std::mutex> guard(ShownLock);
  Shown.push_back({std::this_thread::get_id(), text ? text : u""});
  return 1;
}

// A scripted view that runs a hook the first time the rebuild asks for
// progress while it waits for the library.
class TWaitingView : public test::TScriptedView {
 public:
  explicit TWaitingView(TLibraryState& library) : FLibrary(library) {}
  std::function<void()> WhenWaiting;
  bool Progress(std::int64_t done, std::int64_t total) override {
    if (WhenWaiting && FLibrary.WriteGate.Wanted()) std::exchange(WhenWaiting, nullptr)();
    return TScriptedView::Progress(done, total);
  }

 private:
  TLibraryState& FLibrary;
};

class SharedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    Shown.clear();
    Plugin.FsInitW(1, nullptr, nullptr, Request);
    Open(Plugin);
    ASSERT_TRUE(Plugin.Library().DatabaseReady);
  }
  void Open(TPlugin& plugin) {
    fsapi::TDefaultParams params{};
    std::strncpy(params.DefaultIniName, test::HostText(Folder.Path("v.ini")).c_str(), sizeof params.DefaultIniName - 1);
    TPlugin::TCallScope scope(plugin);
    plugin.FsSetDefaultParams(&params);
  }
  std::u16string Audio(const std::string& name) {
    Folder.Write(name, MpegFrames({}, 40));
    return Folder.Path16(name);
  }
  // The host's calls, each holding the lock as the exports do.
  int Put(const std::u16string& local) {
    TPlugin::TCallScope scope(Plugin);
    return Plugin.FsPutFileW(local.c_str(), VPath(u"\\x.mp3").c_str(), 0);
  }
  void Status(int startEnd) {
    char16_t dir[] = u"/";
    TPlugin::TCallScope scope(Plugin);
    Plugin.FsStatusInfoW(dir, startEnd, fsapi::FS_STATUS_OP_PUT_MULTI);
  }
  bool Recorded(const std::u16string& local) {
    std::lock_guard<std::recursive_mutex> guard(Plugin.Lock());
    const auto query = Plugin.Library().LibraryDatabase->Prepare16(u"select count(*) from mp3files where mf_path=?1");
    query->BindText(1, LowerFirstChar(local));
    return query->Step() == 100 && query->Column_Int64(0) == 1;
  }

  TTestFolder Folder;
  TPlugin Plugin;
};

TEST_F(SharedLibrary, ARebuildAndACopyOnAnotherThreadEachKeepTheirOwnWork) {
  const std::u16string keep = Audio("keep.mp3"), gone = Audio("gone.mp3");
  ASSERT_EQ(Put(keep), fsapi::FS_FILE_OK);
  ASSERT_EQ(Put(gone), fsapi::FS_FILE_OK);
  std::filesystem::remove(Folder.Path("gone.mp3"));
  const ui::TDialogContext context = Plugin.DialogContext();

  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancelled" : "finished");
    const std::u16string first = Audio(cancel ? "a1.mp3" : "b1.mp3"), second = Audio(cancel ? "a2.mp3" : "b2.mp3");
    std::promise<void> opened, goOn;
    // The host's copy: a batch left open between its files.
    std::thread copy([&] {
      Status(fsapi::FS_STATUS_START);
      EXPECT_EQ(Put(first), fsapi::FS_FILE_OK);
      opened.set_value();
      goOn.get_future().wait();
      EXPECT_EQ(Put(second), fsapi::FS_FILE_OK);
      Status(fsapi::FS_STATUS_END);
    });
    opened.get_future().wait();
    TWaitingView view(Plugin.Library());
    view.Answers = {ui::TAnswer::Yes};
    if (cancel) view.CancelAfter = 1;
    // While the rebuild waits for the library, the copy goes on.
    view.WhenWaiting = [&] { goOn.set_value(); };
    ui::TfmMainSettings settings(context, view);
    settings.FormShow();
    settings.btRebuildDatabaseClick();
    if (view.WhenWaiting) goOn.set_value();
    copy.join();

    EXPECT_EQ(settings.LastRebuild().Cancelled, cancel);
    EXPECT_TRUE(Recorded(first));
    EXPECT_TRUE(Recorded(second));
    EXPECT_TRUE(Recorded(keep));
    EXPECT_EQ(Recorded(gone), cancel);
    std::lock_guard<std::recursive_mutex> guard(Plugin.Lock());
    EXPECT_FALSE(Plugin.Library().LibraryDatabase->InTransaction());
  }
}

TEST_F(SharedLibrary, AnotherProgramsWriteLockIsWaitedForNotFailed) {
  const std::u16string a = Audio("a.mp3"), b = Audio("b.mp3"), c = Audio("c.mp3");
  // Another program writes the library for a while: it holds the file's
  // exclusive lock, so that not even its schema can be read meanwhile.
  const auto otherWriter = [&](std::promise<void>& locked, const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Folder.Path("VORNAK.DB").c_str(), &db), SQLITE_OK);
    const std::string sql = "BEGIN EXCLUSIVE; insert into mp3files (mf_path) values ('" + path + "')";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    locked.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  };
  std::promise<void> locked;
  std::thread other(otherWriter, std::ref(locked), "/other.mp3");
  locked.get_future().wait();
  Status(fsapi::FS_STATUS_START);
  for (const std::u16string& file : {a, b, c}) EXPECT_EQ(Put(file), fsapi::FS_FILE_OK);
  Status(fsapi::FS_STATUS_END);
  other.join();
  EXPECT_TRUE(Recorded(a) && Recorded(b) && Recorded(c));
  EXPECT_TRUE(Recorded(u"/other.mp3"));

  // A second host opening the library meanwhile waits as well, silently.
  std::promise<void> lockedAgain;
  std::thread again(otherWriter, std::ref(lockedAgain), "/another.mp3");
  lockedAgain.get_future().wait();
  TPlugin second;
  second.FsInitW(1, nullptr, nullptr, Request);
  Open(second);
  again.join();
  EXPECT_TRUE(second.Library().DatabaseReady);
  EXPECT_TRUE(Shown.empty()) << platform::Utf16ToUtf8(Shown.empty() ? u"" : Shown[0].Text);
}

TEST_F(SharedLibrary, EachCallsMessagesAreShownByThatCall) {
  std::promise<void> queued, otherDone;
  std::thread first([&] {
    TPlugin::TCallScope scope(Plugin);
    Plugin.ShowHostMessage(u"from the first");
    // Inside its call, the first lets the lock go for a while (as while it
    // waits for the library): another thread's call runs meanwhile.
    Plugin.Lock().unlock();
    queued.set_value();
    otherDone.get_future().wait();
    Plugin.Lock().lock();
  });
  queued.get_future().wait();
  {
    TPlugin::TCallScope scope(Plugin);
    Plugin.ShowHostMessage(u"from the second");
  }
  {
    std::lock_guard<std::mutex> guard(ShownLock);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Text, u"from the second");
  }
  otherDone.set_value();
  const std::thread::id firstThread = first.get_id();
  first.join();
  ASSERT_EQ(Shown.size(), 2u);
  EXPECT_EQ(Shown[1].Text, u"from the first");
  EXPECT_EQ(Shown[1].Thread, firstThread);
}

}  // namespace
