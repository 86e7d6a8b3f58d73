#include "import/FormatFields.h"
#include "import/TagText.h"
#include "platform/Text.h"
#include "tags/ogg/TOggVorbis.h"
#include "tags/ogg/TOpusTag.h"

namespace velmaro::import {

using namespace velmaro::tags;

bool ReadOggFields(std::u16string_view path, TTrackFields& fields) {
  {
    TOggVorbis ogg;
    if (!ogg.ReadFromFile(path) || !ogg.Valid()) return false;
    fields.mf_length = CeilSecondsText(ogg.Duration());
    fields.mf_bitrate = platform::IntToU16(ogg.BitRate());
    fields.mf_samplerate = platform::IntToU16(ogg.SampleRate());
    fields.mf_channelsmode = platform::IntToU16(ogg.ChannelModeID());
    fields.mf_mpegversion = u"0";
    fields.mf_mpeglayer = u"0";
  }
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
  fields.mf_filetype = FileTypeOgg;
  return true;
}

}  // namespace velmaro::import
