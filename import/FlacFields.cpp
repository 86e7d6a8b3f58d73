#include "import/FormatFields.h"
#include "import/TagText.h"
#include "platform/Text.h"
#include "tags/flac/TFLACfile.h"
#include "tags/flac/TFlacTag.h"

namespace velmaro::import {

using namespace velmaro::tags;

bool ReadFlacFields(std::u16string_view path, TTrackFields& fields, TSkipReason&) {
  {
    TFLACfile flac;
    if (!flac.ReadFromFile(path) || !flac.Valid()) return false;
    fields.mf_length = CeilSecondsText(flac.Duration());
    fields.mf_bitrate = platform::IntToU16(flac.Bitrate());
    fields.mf_samplerate = platform::IntToU16(flac.SampleRate());
    fields.mf_channelsmode = flac.ChannelMode();
    fields.mf_mpegversion = u"0";
    fields.mf_mpeglayer = u"0";
  }
  TFlacTag tag;
  if (tag.LoadFromFile(path, true) == 0) {
    fields.mf_artist = PrepareTagText(tag.ReadFrameByNameAsText(u"ARTIST"));
    fields.mf_title = PrepareTagText(tag.ReadFrameByNameAsText(u"TITLE"));
    fields.mf_album = PrepareTagText(tag.ReadFrameByNameAsText(u"ALBUM"));
    fields.mf_year = PrepareTagText(tag.ReadFrameByNameAsText(u"DATE"));
    fields.mf_genre = PrepareTagText(tag.ReadFrameByNameAsText(u"GENRE"));
    fields.mf_comment = PrepareTagText(tag.ReadFrameByNameAsText(u"COMMENT"));
    fields.mf_trackno = PrepareTagText(tag.ReadFrameByNameAsText(u"TRACKNUMBER"));
    TFlacTagCoverArtInfo info;
    fields.mf_hasimage = tag.GetCoverArtInfo(0, info) ? u"1" : u"0";
    if (tag.Playtime() > 0) {
      fields.mf_length = CeilSecondsText(tag.Playtime());
      fields.mf_bitrate = platform::IntToU16(tag.Bitrate());
      fields.mf_samplerate = platform::IntToU16(tag.SampleRate());
      fields.mf_channelsmode = tag.ChannelMode();
    }
  }
  fields.mf_filesize = platform::IntToU16(tag.FileSize());
  fields.mf_filetype = FileTypeFLAC;
  return true;
}

}  // namespace velmaro::import
