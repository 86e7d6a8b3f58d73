// Previews: the plug-in names the real file and lets the host extract the
// thumbnail from it.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "plugin/FsPluginApi.h"
#include "plugin/Preview.h"
#include "plugin/TFolderTree.h"
#include "plugin/VirtualPath.h"
#include "support/LibraryFixture.h"

using namespace velmaro;
using velmaro::test::TLibraryFixture;

namespace {

class Preview : public ::testing::Test {
 protected:
  Preview() : Tree(Lib.State, [](const std::u16string&) {}) {}

  // Asks for the preview of an entry in a host buffer of MAX_PATH characters.
  int Ask(const std::u16string& entry) {
    std::fill(std::begin(Buffer), std::end(Buffer), u'#');
    std::copy(entry.begin(), entry.end(), Buffer);
    Buffer[entry.size()] = 0;
    Bitmap = &Buffer;  // anything but null
    return GetPreviewBitmap(Tree, Buffer, &Bitmap);
  }
  static std::u16string Real(std::u16string_view slashed) { return ReplaceChar(slashed, u'/', platform::DirDelim); }

  TLibraryFixture Lib;
  TFolderTree Tree;
  char16_t Buffer[fsapi::MaxPath];
  fsapi::TBitmapHandle Bitmap = nullptr;
};

TEST_F(Preview, ATrackEntryNamesItsRealFile) {
  const long long id = Lib.AddTrack({Real(u"/m/a.mp3"), u"Someone", u"Intro"});
  for (const std::u16string& entry : {VPath(u"\\Titles\\") + ReplaceChar(Real(u"/m/a.mp3"), platform::DirDelim,
                                                                         platform::AltDelim),
                                      VPath(u"\\Artists\\Someone\\Intro *") + platform::IntToU16(id) + u".mp3"}) {
    EXPECT_EQ(Ask(entry), fsapi::FS_BITMAP_EXTRACT_YOURSELF);
    EXPECT_EQ(std::u16string(Buffer), Real(u"/m/a.mp3"));
    EXPECT_EQ(Bitmap, nullptr);
  }
}

TEST_F(Preview, ALongPathIsCutTo258Characters) {
  const std::u16string real = Real(u"/m/") + std::u16string(300, u'x') + u".mp3";
  const long long id = Lib.AddTrack({real, u"Someone", u"Long"});
  EXPECT_EQ(Ask(VPath(u"\\Artists\\Someone\\Long *") + platform::IntToU16(id) + u".mp3"),
            fsapi::FS_BITMAP_EXTRACT_YOURSELF);
  EXPECT_EQ(std::u16string(Buffer), real.substr(0, 258));
}

TEST_F(Preview, EntriesWithoutAFileKeepTheirName) {
  Lib.AddTrack({Real(u"/m/a.mp3"), u"Someone", u"Intro"});
  for (const char16_t* entry : {u"\\Albums", u"\\", u"\\Settings", u"\\Artists\\Someone", u"\\Artists\\Someone\\Gone *99.mp3"}) {
    EXPECT_EQ(Ask(VPath(entry)), fsapi::FS_BITMAP_EXTRACT_YOURSELF);
    EXPECT_EQ(std::u16string(Buffer), VPath(entry));
    EXPECT_EQ(Bitmap, nullptr);
  }
}

}  // namespace
