// The branches after MP3 on hand-built files: what each format's rules
// make of the cases the corpus encoders do not write.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "import/ImportTrack.h"
#include "platform/Text.h"
#include "support/Mp4Builder.h"
#include "support/OggBuilder.h"
#include "support/TestFolder.h"

using namespace velmaro;
using namespace velmaro::import;
using namespace velmaro::testsupport;
using velmaro::test::TTestFolder;

namespace {

class FormatFields : public ::testing::Test {
 protected:
  std::u16string Write(const std::string& name, const TBytes& bytes) {
    std::ofstream(Folder.Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Folder.Path16(name);
  }
  TTestFolder Folder;
  TTrackFields Fields;
};

TEST_F(FormatFields, OggTakesItsYearFromYearNotFromDate) {
  TVorbisOptions options;
  options.comments = {OggComment("DATE=2004"), OggComment("TITLE=Dated"), OggComment("ARTIST=A")};
  ASSERT_TRUE(ReadTrackFields(Write("dated.ogg", VorbisFile(options)), Fields));
  EXPECT_EQ(Fields.mf_year, u"");
  EXPECT_EQ(Fields.mf_title, u"Dated");
  EXPECT_EQ(Fields.mf_channelsmode, u"2");
  EXPECT_EQ(Fields.mf_mpegversion, u"0");
  EXPECT_EQ(Fields.mf_hasimage, u"0");
  EXPECT_EQ(Fields.mf_filetype, FileTypeOgg);
  options.comments = {OggComment("YEAR=1999")};
  ASSERT_TRUE(ReadTrackFields(Write("year.ogg", VorbisFile(options)), Fields));
  EXPECT_EQ(Fields.mf_year, u"1999");
}

TEST_F(FormatFields, OpusByItsNameAndOgaByItsFirstPacket) {
  // The last granule counts the 312 samples of pre-skip as well.
  const TBytes opus = OpusFile(2, {OggComment("TITLE=Op"), OggComment("YEAR=2001")}, 312 + 48000 * 10);
  ASSERT_TRUE(ReadTrackFields(Write("a.opus", opus), Fields));
  EXPECT_EQ(Fields.mf_filetype, FileTypeOpus);
  EXPECT_EQ(Fields.mf_title, u"Op");
  EXPECT_EQ(Fields.mf_year, u"2001");
  EXPECT_EQ(Fields.mf_hasimage, u"0");
  EXPECT_EQ(Fields.mf_samplerate, u"48000");
  EXPECT_EQ(Fields.mf_channelsmode, u"2");
  EXPECT_EQ(Fields.mf_length, u"10");
  EXPECT_EQ(Fields.mf_bitrate, platform::IntToU16(std::lround(static_cast<double>(opus.size()) / 10 / 125)));
  ASSERT_TRUE(ReadTrackFields(Write("opus.OGA", opus), Fields));
  EXPECT_EQ(Fields.mf_filetype, FileTypeOpus);
  TVorbisOptions options;
  ASSERT_TRUE(ReadTrackFields(Write("vorbis.oga", VorbisFile(options)), Fields));
  EXPECT_EQ(Fields.mf_filetype, FileTypeOgg);
  // .ogg stays Vorbis only, and .opus is Opus only.
  EXPECT_FALSE(ReadTrackFields(Write("opus.ogg", opus), Fields));
  EXPECT_FALSE(ReadTrackFields(Write("vorbis.opus", VorbisFile(options)), Fields));
}

TEST_F(FormatFields, ARefusedFileSaysWhy) {
  TSkipReason why = TSkipReason::None;
  auto reason = [&](const std::string& name, const TBytes& bytes) {
    EXPECT_FALSE(ReadTrackFields(Write(name, bytes), Fields, &why)) << name;
    return why;
  };
  EXPECT_EQ(reason("cover.jpg", TBytes(100, 1)), TSkipReason::UnknownExtension);
  EXPECT_EQ(reason("empty.mp3", {}), TSkipReason::Empty);
  EXPECT_EQ(reason("noise.flac", TBytes(3000, 0x20)), TSkipReason::NotAudio);
  EXPECT_EQ(reason("short.opus", OpusFile(2, {}, 312 + 4800)), TSkipReason::TooShort);
  // No length at all is a damaged stream rather than a short one.
  EXPECT_EQ(reason("nolength.opus", OpusFile(2, {}, 312)), TSkipReason::NotAudio);
  TVorbisOptions quad;
  quad.channels = 4;
  // A Vorbis stream refused is not tried as Opus.
  EXPECT_EQ(reason("quad.oga", VorbisFile(quad)), TSkipReason::Channels);
  EXPECT_EQ(reason("nine.opus", OpusFile(9, {})), TSkipReason::Channels);
  EXPECT_FALSE(ReadTrackFields(Folder.Path16("missing.mp3"), Fields, &why));
  EXPECT_EQ(why, TSkipReason::NoFile);
  EXPECT_EQ(SkipReasonText(TSkipReason::TooShort), u"too short");
}

TEST_F(FormatFields, Mp4WithoutPlayTimeLeavesTheStreamFieldsEmpty) {
  Mp4FileLayout layout;
  layout.duration = 0;
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100)})};
  layout.items = {Mp4TextItem("\xa9nam", "No Time")};
  ASSERT_TRUE(ReadTrackFields(Write("a.m4b", Mp4File(layout)), Fields));
  EXPECT_EQ(Fields.mf_title, u"No Time");
  EXPECT_EQ(Fields.mf_length, u"");
  EXPECT_EQ(Fields.mf_bitrate, u"");
  EXPECT_EQ(Fields.mf_samplerate, u"");
  EXPECT_EQ(Fields.mf_channelsmode, u"");
  EXPECT_EQ(Fields.mf_trackno, u"0");  // no track number
  EXPECT_EQ(Fields.mf_hasimage, u"");   // no cover: never "0"
  EXPECT_EQ(Fields.mf_mpegversion, u"");
  EXPECT_EQ(Fields.mf_mpeglayer, u"");
  EXPECT_EQ(Fields.mf_filetype, FileTypeMP4);
  EXPECT_EQ(Fields.mf_album, u"Music");
}

TEST_F(FormatFields, Mp4AudioWithoutMetadataIsATrackAllTheSame) {
  Mp4FileLayout layout;
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100)})};
  layout.withUdta = false;
  ASSERT_TRUE(ReadTrackFields(Write("Plain_Artist - Plain Song.m4a", Mp4File(layout)), Fields));
  EXPECT_EQ(Fields.mf_artist, u"Plain Artist");
  EXPECT_EQ(Fields.mf_title, u"Plain Song");
  EXPECT_EQ(Fields.mf_length, u"10");
  EXPECT_EQ(Fields.mf_trackno, u"0");
  EXPECT_EQ(Fields.mf_hasimage, u"");
  // Without items and without play time nothing says it is audio.
  layout.duration = 0;
  EXPECT_FALSE(ReadTrackFields(Write("nothing.m4a", Mp4File(layout)), Fields));
}

TEST_F(FormatFields, Mp4TrackGenreAndCover) {
  Mp4FileLayout layout;
  layout.tracks = {Mp4Track({Mp4AudioEntry("mp4a", 2, 16, 44100)})};
  layout.items = {Mp4TrackItem(7, 12), Mp4GenreItem(18),
                  Mp4Item("covr", {Mp4Data(14, TBytes(64, 0x89))})};
  ASSERT_TRUE(ReadTrackFields(Write("b.M4A", Mp4File(layout)), Fields));
  EXPECT_EQ(Fields.mf_trackno, u"7");
  EXPECT_EQ(Fields.mf_genre, u"Rock");
  EXPECT_EQ(Fields.mf_hasimage, u"1");
  EXPECT_EQ(Fields.mf_length, u"10");
  EXPECT_EQ(Fields.mf_channelsmode, u"2");
  EXPECT_EQ(Fields.mf_samplerate, u"44100");
}

TEST_F(FormatFields, KnownExtensionsWhoseReaderRefusesAreNotTaken) {
  for (const char* name : {"x.flac", "x.wma", "x.ogg", "x.m4a", "x.m4r"})
    EXPECT_FALSE(ReadTrackFields(Write(name, TBytes(3000, 0x20)), Fields)) << name;
}

}  // namespace
