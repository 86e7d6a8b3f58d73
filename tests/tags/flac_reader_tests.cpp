// TFLACfile (the gate) and TFlacTag on hand-made streams: block walks in
// encoder order and others, stream values, Vorbis comments, pictures,
// result codes, and truncated or hostile blocks.
#include <gtest/gtest.h>

#include "support/FlacBuilder.h"
#include "support/TagBytes.h"
#include "support/TestFolder.h"
#include "tags/flac/FlacReadError.h"
#include "tags/flac/TFLACfile.h"
#include "tags/flac/TFlacTag.h"

namespace velmaro::tags {
namespace {

using namespace testsupport;
using velmaro::test::TTestFolder;

bool Gate(TFLACfile& flac, const TBytes& bytes) {
  TMemoryStream stream(bytes);
  return flac.ReadFromStream(stream);
}

int Load(TFlacTag& tag, const TBytes& bytes, bool buffered = true) {
  TMemoryStream stream(bytes);
  return tag.LoadFromStream(stream, buffered);
}

TBytes Comments(const std::vector<std::string>& comments) { return FlacCommentBody("reference", comments); }

// STREAMINFO, SEEKTABLE, VORBIS_COMMENT, PICTURE, PADDING as flac writes
// them; ten seconds of 44.1 kHz stereo and 160000 bytes of audio.
const std::size_t AudioBytes = 160000;
TBytes EncoderOrderFile() {
  return FlacFile(FlacCdStreamInfo(441000),
                  {FlacBlock(3, TBytes(18, 0)),
                   FlacBlock(4, Comments({"ARTIST=Artist", "TITLE=Title", "DATE=2004", "TRACKNUMBER=7/12"})),
                   FlacBlock(6, FlacPictureBody({})), FlacBlock(1, TBytes(100, 0), true)},
                  AudioBytes);
}

TEST(FlacGate, WalksAllBlocksAndMeasuresTheAudioAfterThem) {
  const TBytes file = EncoderOrderFile();
  TFLACfile flac;
  ASSERT_TRUE(Gate(flac, file));
  EXPECT_TRUE(flac.Valid());
  EXPECT_EQ(flac.SampleRate(), 44100);
  EXPECT_EQ(flac.Channels(), 2);
  EXPECT_EQ(flac.BitsPerSample(), 16);
  EXPECT_EQ(flac.Samples(), 441000);
  EXPECT_DOUBLE_EQ(flac.Duration(), 10.0);
  EXPECT_EQ(flac.ChannelMode(), u"Stereo");
  EXPECT_EQ(flac.FileLength(), static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(flac.AudioOffset(), static_cast<std::int64_t>(file.size() - AudioBytes));
  EXPECT_EQ(flac.Bitrate(), 128);  // 160000 bytes over 10 s
  EXPECT_EQ(flac.VorbisIndex(), 2);
  EXPECT_EQ(flac.VCOffset(), 42 + 22 + 4);
  EXPECT_EQ(flac.PaddingIndex(), 4);
  EXPECT_EQ(flac.Padding(), 100);
  EXPECT_TRUE(flac.PaddingLast());
  EXPECT_FALSE(flac.PaddingFragments());
  ASSERT_EQ(flac.MetaBlockOther().size(), 2u);
  EXPECT_EQ(flac.MetaBlockOther()[0].BlockType, 3);
  EXPECT_EQ(flac.MetaBlockOther()[1].BlockType, 6);
  EXPECT_EQ(flac.MetaBlockOther()[1].Data, FlacPictureBody({}));
}

TEST(FlacTag, ReadsCommentsPictureAndStreamValues) {
  const TBytes file = EncoderOrderFile();
  for (const bool buffered : {true, false}) {
    TFlacTag tag;
    ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file, buffered));
    EXPECT_TRUE(tag.Loaded());
    EXPECT_EQ(tag.ReadFrameByNameAsText(u"ARTIST"), u"Artist");
    EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"Title");
    EXPECT_EQ(tag.ReadFrameByNameAsText(u"DATE"), u"2004");
    EXPECT_EQ(tag.ReadFrameByNameAsText(u"TRACKNUMBER"), u"7/12");
    EXPECT_EQ(tag.ReadFrameByNameAsText(u"ALBUM"), u"");
    EXPECT_EQ(tag.VendorString(), u"reference");
    EXPECT_TRUE(tag.Exists());
    TFlacTagCoverArtInfo info;
    EXPECT_TRUE(tag.GetCoverArtInfo(0, info));
    EXPECT_DOUBLE_EQ(tag.Playtime(), 10.0);
    EXPECT_EQ(tag.Bitrate(), 128);
    EXPECT_EQ(tag.SampleRate(), 44100);
    EXPECT_EQ(tag.ChannelMode(), u"Stereo");
    EXPECT_EQ(tag.FileSize(), static_cast<std::int64_t>(file.size()));
    EXPECT_EQ(tag.AudioOffset(), static_cast<std::int64_t>(file.size() - AudioBytes));
    EXPECT_EQ(tag.AudioSize(), static_cast<std::int64_t>(AudioBytes));
    EXPECT_EQ(tag.VCOffset(), 68);
    EXPECT_EQ(tag.VorbisIndex(), 2);
    EXPECT_EQ(tag.StreamType(), TFlacStreamType::fstNativeFlac);
    // The seek table and the picture are counted; comments and the first
    // padding are not.
    EXPECT_EQ(tag.MetaBlocksSize(), (18 + 4) + static_cast<std::int64_t>(FlacPictureBody({}).size() + 4));
    EXPECT_EQ(tag.MetaBlockOther().size(), 1u);
    EXPECT_EQ(tag.MetaBlocksCoverArts().size(), 1u);
  }
}

TEST(FlacTag, APictureBeforeTheCommentsIsReadAsWell) {
  const TBytes file =
      FlacFile(FlacCdStreamInfo(), {FlacBlock(6, FlacPictureBody({})), FlacBlock(4, Comments({"ALBUM=Album"}), true)});
  TFLACfile flac;
  EXPECT_TRUE(Gate(flac, file));
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"ALBUM"), u"Album");
  TFlacTagCoverArtInfo info;
  EXPECT_TRUE(tag.GetCoverArtInfo(0, info));
  EXPECT_EQ(tag.AudioOffset(), flac.AudioOffset());
}

TEST(FlacStreamValues, StreamInfoAloneAndBitRateRounding) {
  // STREAMINFO flagged last: the audio starts at 42.
  const TBytes file = FlacFile(FlacCdStreamInfo(441000), {}, 160625);  // 128.5 kbit/s
  TFLACfile flac;
  ASSERT_TRUE(Gate(flac, file));
  EXPECT_EQ(flac.AudioOffset(), 42);
  EXPECT_EQ(flac.Bitrate(), 128);  // halves to even
  TFlacTag tag;
  EXPECT_EQ(TFlacTag::ResultStreamInfoOnly, Load(tag, file));
  EXPECT_TRUE(tag.Tags().empty());
  TFlacTagCoverArtInfo info;
  EXPECT_FALSE(tag.GetCoverArtInfo(0, info));
  EXPECT_DOUBLE_EQ(tag.Playtime(), 10.0);
  EXPECT_EQ(tag.Bitrate(), 128);

  ASSERT_TRUE(Gate(flac, FlacFile(FlacCdStreamInfo(441000), {}, 161875)));  // 129.5
  EXPECT_EQ(flac.Bitrate(), 130);
}

TEST(FlacStreamValues, DecodesEveryFieldOfStreamInfo) {
  TFLACfile flac;
  ASSERT_TRUE(Gate(flac, FlacFile(FlacStreamInfoBody(655350, 1, 24, 655350), {})));
  EXPECT_EQ(flac.SampleRate(), 655350);
  EXPECT_EQ(flac.ChannelMode(), u"Mono");
  EXPECT_EQ(flac.BitsPerSample(), 24);
  ASSERT_TRUE(Gate(flac, FlacFile(FlacStreamInfoBody(48000, 6, 32, 48000), {})));
  EXPECT_EQ(flac.Channels(), 6);
  EXPECT_EQ(flac.ChannelMode(), u"Multi Channel");
  EXPECT_EQ(flac.BitsPerSample(), 32);
  EXPECT_DOUBLE_EQ(flac.Duration(), 1.0);
}

TEST(FlacStreamValues, SampleCountsKeepAll36Bits) {
  const std::int64_t samples = (std::int64_t{1} << 32) + 1000;
  const TBytes file = FlacFile(FlacStreamInfoBody(192000, 2, 24, static_cast<std::uint64_t>(samples)), {});
  TFLACfile flac;
  ASSERT_TRUE(Gate(flac, file));
  EXPECT_EQ(flac.Samples(), samples);
  EXPECT_DOUBLE_EQ(flac.Duration(), static_cast<double>(samples) / 192000);
  TFlacTag tag;
  Load(tag, file);
  EXPECT_EQ(tag.SampleCount(), samples);
}

TEST(FlacStreamValues, InvalidStreamInfoIsRejected) {
  const TBytes file = FlacFile(FlacStreamInfoBody(0, 2, 16, 1000), {FlacBlock(4, Comments({"TITLE=T"}), true)});
  TFLACfile flac;
  EXPECT_FALSE(Gate(flac, file));
  EXPECT_EQ(flac.Duration(), 0.0);
  EXPECT_EQ(flac.ChannelMode(), u"");
  EXPECT_EQ(flac.Bitrate(), 0);
  TFlacTag tag;
  EXPECT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"T");
  EXPECT_FALSE(tag.Valid());
  EXPECT_EQ(tag.Playtime(), 0.0);
  EXPECT_EQ(tag.Bitrate(), 0);
  EXPECT_FALSE(Gate(flac, FlacFile(FlacStreamInfoBody(44100, 2, 16, 0), {})));
}

TEST(FlacBlocks, AReservedBlockTypeBeforeTheLastBlock) {
  for (const std::uint8_t type : {7, 126, 127}) {
    const TBytes file = FlacFile(
        FlacCdStreamInfo(),
        {FlacBlock(4, Comments({"TITLE=T"})), FlacBlock(type, TBytes(10, 1)), FlacBlock(1, TBytes(10, 0), true)});
    TFLACfile flac;
    EXPECT_FALSE(Gate(flac, file)) << int(type);
    EXPECT_EQ(flac.Samples(), 0);
    TFlacTag tag;
    EXPECT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
    EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"T");
    EXPECT_FALSE(tag.Loaded());
    EXPECT_EQ(tag.Playtime(), 0.0);
  }
}

TEST(FlacBlocks, PaddingFragmentsAndEmptyBlocks) {
  const TBytes file =
      FlacFile(FlacCdStreamInfo(), {FlacBlock(1, TBytes(10, 0)), FlacBlockHeader(2, 0), FlacBlock(1, TBytes(5, 0)),
                                    FlacBlock(4, Comments({"TITLE=T"}), true)});
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  EXPECT_EQ(tag.PaddingIndex(), 1);
  EXPECT_EQ(tag.Padding(), 10);
  EXPECT_TRUE(tag.PaddingFragments());
  ASSERT_EQ(tag.MetaBlockOther().size(), 1u);
  EXPECT_EQ(tag.MetaBlockOther()[0].BlockType, 1);
  EXPECT_EQ(tag.MetaBlocksSize(), 4 + (5 + 4));
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"T");
  EXPECT_EQ(tag.AudioOffset(), static_cast<std::int64_t>(file.size() - 4000));

  // The gate stops at the empty block and takes what follows for audio.
  TFLACfile flac;
  ASSERT_TRUE(Gate(flac, file));
  EXPECT_EQ(flac.AudioOffset(), 42 + 14 + 4);
}

TEST(FlacBlocks, AnEmptyBlockFlaggedLastEndsTheMetadata) {
  // Once the flag of an empty block was ignored and the audio frames
  // after it were read as blocks.
  const TBytes file = FlacFile(FlacCdStreamInfo(441000),
                               {FlacBlock(4, Comments({"TITLE=T"})), FlacBlockHeader(1, 0, true)}, AudioBytes);
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  EXPECT_TRUE(tag.Loaded());
  EXPECT_TRUE(tag.Valid());
  EXPECT_EQ(tag.AudioOffset(), static_cast<std::int64_t>(file.size() - AudioBytes));
  EXPECT_EQ(tag.Bitrate(), 128);
}

// ---------------------------------------------------------------------------
// Vorbis comments.

TEST(FlacComments, NamesAndValues) {
  const TBytes file =
      FlacFile(FlacCdStreamInfo(),
               {FlacBlock(4,
                          Comments({"artist=A", "ARTIST=B", "COMMENT=a\tb\r\nc\x01", "NOEQUALS", "=empty", "Title=x=y",
                                    "ALBUM=\xFF"
                                    "a"}),
                          true)});
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  ASSERT_EQ(tag.Tags().size(), 6u);
  EXPECT_EQ(tag.Tags()[0].Name, u"ARTIST");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"ARTIST"), u"A");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"Artist"), u"A");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"COMMENT"), u"a b\r\nc ");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"NOEQUALS"), u"");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u""), u"empty");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"x=y");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"ALBUM"), u"\uFFFDa");
  EXPECT_EQ(tag.Tags()[5].Index, 5);
}

TEST(FlacComments, LengthsAreCheckedAgainstTheirBlock) {
  // Lengths of 0 and below are skipped; a count far above what the block
  // holds ends with the block; a comment running past the block ends the
  // list; the walk goes on after the block.
  const TBytes body = JoinBytes({LE32(3), AsciiBytes("ven"), LE32(0x7FFFFFFF), LE32(0), LE32(0xFFFFFFF0), LE32(8),
                                 AsciiBytes("ARTIST=A"), LE32(1000), AsciiBytes("TITLE=T")});
  const TBytes file = FlacFile(FlacCdStreamInfo(), {FlacBlock(4, body), FlacBlock(6, FlacPictureBody({}), true)});
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"ARTIST"), u"A");
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"");
  EXPECT_TRUE(tag.Exists());
  TFlacTagCoverArtInfo info;
  EXPECT_TRUE(tag.GetCoverArtInfo(0, info));

  // A vendor string longer than the block: no comments, the walk goes on.
  const TBytes longVendor = JoinBytes({LE32(100), AsciiBytes("ven")});
  ASSERT_EQ(
      TFlacTag::ResultSuccess,
      Load(tag, FlacFile(FlacCdStreamInfo(), {FlacBlock(4, longVendor), FlacBlock(6, FlacPictureBody({}), true)})));
  EXPECT_TRUE(tag.Tags().empty());
  EXPECT_TRUE(tag.GetCoverArtInfo(0, info));
}

TEST(FlacComments, BytesAfterTheCommentsInTheirBlockAreStepped) {
  // A framing byte after the comments (as in Ogg) once made the next
  // block header be read one byte early.
  const TBytes body = JoinBytes({Comments({"TITLE=T"}), {0x01}});
  const TBytes file = FlacFile(FlacCdStreamInfo(), {FlacBlock(4, body), FlacBlock(6, FlacPictureBody({}), true)});
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));
  EXPECT_TRUE(tag.Loaded());
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"T");
  EXPECT_EQ(tag.MetaBlocksCoverArts().size(), 1u);
}

// ---------------------------------------------------------------------------
// Pictures.

TEST(FlacPictures, FieldsAndBytes) {
  FlacPictureFields fields;
  fields.mime = "image/jpeg";
  fields.description = "Fr\xC3\xBCnt";
  fields.width = 300;
  fields.height = 200;
  fields.data = {1, 2, 3, 4, 5};
  FlacPictureFields cut = fields;
  cut.dataLength = 1000;  // more than the block holds
  const TBytes file =
      FlacFile(FlacCdStreamInfo(), {FlacBlock(6, FlacPictureBody(fields)), FlacBlock(6, FlacPictureBody(cut), true)});
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, Load(tag, file));

  TFlacTagCoverArtInfo info;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(tag.GetCoverArtInfo(0, info, &bytes));
  EXPECT_EQ(info.PictureType, 3u);
  EXPECT_EQ(info.MIMEType, u"image/jpeg");
  EXPECT_EQ(info.Description, u"Fr\u00FCnt");
  EXPECT_EQ(info.Width, 300u);
  EXPECT_EQ(info.Height, 200u);
  EXPECT_EQ(info.ColorDepth, 24u);
  EXPECT_EQ(info.SizeOfPictureData, 5u);
  EXPECT_EQ(bytes, fields.data);
  EXPECT_TRUE(info.PictureData.empty());

  ASSERT_TRUE(tag.GetCoverArtInfoPointer(1, info));
  EXPECT_EQ(info.SizeOfPictureData, 1000u);
  EXPECT_EQ(TBytes(info.PictureData.begin(), info.PictureData.end()), fields.data);

  EXPECT_FALSE(tag.GetCoverArtInfo(2, info));
  EXPECT_FALSE(tag.GetCoverArtInfo(-1, info));
  EXPECT_EQ(info.MIMEType, u"");
}

TEST(FlacPictures, LengthsBeyondTheBlockAreCut) {
  const TBytes body = JoinBytes({BE32(3), BE32(0xFFFFFFFF), AsciiBytes("image/png")});
  const TFlacTagCoverArtInfo info = ReadFlacPictureInfo(body);
  EXPECT_EQ(info.MIMEType, u"image/png");
  EXPECT_EQ(info.Width, 0u);
  EXPECT_TRUE(info.PictureData.empty());
}

// ---------------------------------------------------------------------------
// Result codes and errors.

TEST(FlacErrors, ResultCodesOfTheLoad) {
  TFlacTag tag;
  EXPECT_EQ(TFlacTag::ResultFileError, Load(tag, {}));
  EXPECT_EQ(TFlacTag::ResultNotFlac, Load(tag, AsciiBytes("OggS and more bytes than a header")));
  EXPECT_EQ(TFlacTag::ResultNotFlac, Load(tag, AsciiBytes("fLa")));
  EXPECT_EQ(tag.FileSize(), 3);
  EXPECT_EQ(TFlacTag::ResultFileError, tag.LoadFromFile(u"/nonexistent/velmaro/a.flac"));

  TFLACfile flac;
  EXPECT_FALSE(Gate(flac, AsciiBytes("OggS and more bytes than a header")));
  EXPECT_FALSE(Gate(flac, {}));
  EXPECT_THROW(flac.ReadFromFile(u"/nonexistent/velmaro/a.flac"), EFlacReadError);
}

TEST(FlacErrors, BlocksRunningPastTheEndRaise) {
  const TBytes info = FlacCdStreamInfo();
  // A body kept in memory that the file does not hold: both readers.
  for (const std::uint8_t type : {2, 3, 5, 6}) {
    const TBytes file =
        JoinBytes({FlacFile(info, {FlacBlock(4, Comments({}))}, 0), FlacBlockHeader(type, 500, true), TBytes(100, 0)});
    TFLACfile flac;
    EXPECT_THROW(Gate(flac, file), EFlacReadError) << int(type);
    TFlacTag tag;
    EXPECT_THROW(Load(tag, file), EFlacReadError) << int(type);
  }
  // Comments past the end: the tag raises; the gate skips them by seeking.
  const TBytes comments = JoinBytes({FlacFile(info, {}, 0), FlacBlockHeader(4, 500, true), TBytes(100, 0)});
  TBytes file = comments;
  file[4] = 0;  // STREAMINFO is no longer the last block
  TFLACfile flac;
  EXPECT_TRUE(Gate(flac, file));
  EXPECT_EQ(flac.AudioOffset(), static_cast<std::int64_t>(file.size()));
  TFlacTag tag;
  EXPECT_THROW(Load(tag, file), EFlacReadError);

  // Metadata that ends before a block flagged last.
  const TBytes open = FlacFile(info, {FlacBlock(4, Comments({"TITLE=T"}))}, 0);
  EXPECT_THROW(Gate(flac, open), EFlacReadError);
  EXPECT_THROW(Load(tag, open), EFlacReadError);
}

TEST(FlacErrors, EveryTruncationOfAFileEndsCleanly) {
  const TBytes file = FlacFile(FlacCdStreamInfo(),
                               {FlacBlock(3, TBytes(18, 0)), FlacBlock(4, Comments({"TITLE=T"})),
                                FlacBlock(6, FlacPictureBody({})), FlacBlock(1, TBytes(8, 0), true)},
                               16);
  for (std::size_t size = 0; size <= file.size(); ++size) {
    const TBytes part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    TFLACfile flac;
    TFlacTag tag;
    try {
      Gate(flac, part);
    } catch (const EFlacReadError&) {
    }
    try {
      const int result = Load(tag, part);
      EXPECT_TRUE(result == 0 || result == 1 || result == 4 || result == 8) << size;
    } catch (const EFlacReadError&) {
    }
  }
}

TEST(FlacFiles, ReadFromDisk) {
  TTestFolder folder;
  const std::u16string path = ToReaderPath(folder.Write("a.flac", EncoderOrderFile()));
  TFLACfile flac;
  ASSERT_TRUE(flac.ReadFromFile(path));
  EXPECT_EQ(flac.FileName(), path);
  EXPECT_EQ(flac.Bitrate(), 128);
  TFlacTag tag;
  ASSERT_EQ(TFlacTag::ResultSuccess, tag.LoadFromFile(path, true));
  EXPECT_EQ(tag.ReadFrameByNameAsText(u"TITLE"), u"Title");
  EXPECT_EQ(TFlacTag::ResultFileError, tag.LoadFromFile(ToReaderPath(folder.Write("empty.flac", TBytes{})), true));
}

}  // namespace
}  // namespace velmaro::tags
