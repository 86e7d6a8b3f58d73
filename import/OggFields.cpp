#include "import/FormatFields.h"
#include "import/TagText.h"
#include "platform/Text.h"
#include "tags/ogg/TOggOpus.h"
#include "tags/ogg/TOggVorbis.h"
#include "tags/ogg/TOpusTag.h"

namespace velmaro::import {

using namespace velmaro::tags;

namespace {

// Vorbis and Opus files carry the same comments, read through TOpusTag.
void ReadComments(std::u16string_view path, TTrackFields& fields) {
  TOpusTag tag;
  if (tag.LoadFromFile(path) == 0) {
    fields.mf_artist = PrepareTagText(tag.ReadFrameByNameAsText(u"ARTIST"));
    fields.mf_title = PrepareTagText(tag.ReadFrameByNameAsText(u"TITLE"));
    fields.mf_album = PrepareTagText(tag.ReadFrameByNameAsText(u"ALBUM"));
    // The year is read from "YEAR"; a DATE comment is not looked at.
    fields.mf_year = PrepareTagText(tag.ReadFrameByNameAsText(u"YEAR"));
    fields.mf_genre = PrepareTagText(tag.ReadFrameByNameAsText(u"GENRE"));
    fields.mf_comment = PrepareTagText(tag.ReadFrameByNameAsText(u"COMMENT"));
    fields.mf_trackno = PrepareTagText(tag.ReadFrameByNameAsText(u"TRACKNUMBER"));
    fields.mf_hasimage = tag.FrameExists(u"METADATA_BLOCK_PICTURE") >= 0 ? u"1" : u"0";
  }
  fields.mf_filesize = platform::IntToU16(tag.FileSize());
}

// Why a stream reader that found its header declined the file. A length
// of 0 is none found (a damaged or cut stream), not a short one.
template <class TReader>
TSkipReason Declined(const TReader& reader, bool channelsTaken) {
  if (!channelsTaken) return TSkipReason::Channels;
  const double duration = reader.Duration();
  if (duration > 0 && duration <= 0.1) return TSkipReason::TooShort;
  return TSkipReason::NotAudio;
}

}  // namespace

bool ReadOggFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why) {
  {
    TOggVorbis ogg;
    if (!ogg.ReadFromFile(path)) return false;
    if (!ogg.Valid()) {
      const std::uint8_t channels = ogg.ChannelModeID();
      why = Declined(ogg, channels == 1 || channels == 2 || channels == 6);
      return false;
    }
    fields.mf_length = CeilSecondsText(ogg.Duration());
    fields.mf_bitrate = platform::IntToU16(ogg.BitRate());
    fields.mf_samplerate = platform::IntToU16(ogg.SampleRate());
    fields.mf_channelsmode = platform::IntToU16(ogg.ChannelModeID());
    fields.mf_mpegversion = u"0";
    fields.mf_mpeglayer = u"0";
  }
  ReadComments(path, fields);
  fields.mf_filetype = FileTypeOgg;
  return true;
}

bool ReadOpusFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why) {
  {
    TOggOpus opus;
    if (!opus.ReadFromFile(path)) return false;
    if (!opus.Valid()) {
      why = Declined(opus, opus.ChannelCount() >= 1 && opus.ChannelCount() <= 8);
      return false;
    }
    fields.mf_length = CeilSecondsText(opus.Duration());
    fields.mf_bitrate = platform::IntToU16(opus.BitRate());
    fields.mf_samplerate = platform::IntToU16(TOggOpus::OutputSampleRate);
    fields.mf_channelsmode = platform::IntToU16(opus.ChannelCount());
    fields.mf_mpegversion = u"0";
    fields.mf_mpeglayer = u"0";
  }
  ReadComments(path, fields);
  fields.mf_filetype = FileTypeOpus;
  return true;
}

bool ReadOgaFields(std::u16string_view path, TTrackFields& fields, TSkipReason& why) {
  // A declined Vorbis stream is not tried as Opus: its first packet
  // already said what it is.
  why = TSkipReason::None;
  if (ReadOggFields(path, fields, why)) return true;
  if (why != TSkipReason::None) return false;
  return ReadOpusFields(path, fields, why);
}

}  // namespace velmaro::import
