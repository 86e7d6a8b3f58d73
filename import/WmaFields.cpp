#include "import/FormatFields.h"
#include "import/TagText.h"
#include "platform/Text.h"
#include "tags/asf/TWMATag.h"
#include "tags/asf/TWMAfile.h"

namespace velmaro::import {

using namespace velmaro::tags;

bool ReadWmaFields(std::u16string_view path, TTrackFields& fields, TSkipReason&) {
  {
    TWMAfile wma;
    if (!wma.ReadFromFile(path) || !wma.Valid()) return false;
    fields.mf_length = CeilSecondsText(wma.Duration());
    fields.mf_bitrate = platform::IntToU16(wma.BitRate());
    fields.mf_samplerate = platform::IntToU16(wma.SampleRate());
    fields.mf_channelsmode = platform::IntToU16(wma.ChannelModeID());
    fields.mf_mpegversion = u"0";
    fields.mf_mpeglayer = u"0";
  }
  TWMATag tag;
  if (tag.LoadFromFile(path) == 0) {
    fields.mf_artist = PrepareTagText(tag.ReadFrameByNameAsText(u"Author"));
    fields.mf_title = PrepareTagText(tag.ReadFrameByNameAsText(u"Title"));
    fields.mf_album = PrepareTagText(tag.ReadFrameByNameAsText(u"WM/AlbumTitle"));
    fields.mf_year = PrepareTagText(tag.ReadFrameByNameAsText(u"WM/Year"));
    fields.mf_genre = PrepareTagText(tag.ReadFrameByNameAsText(u"WM/Genre"));
    fields.mf_comment = PrepareTagText(tag.ReadFrameByNameAsText(u"Description"));
    fields.mf_trackno = PrepareTagText(tag.ReadFrameByNameAsText(u"WM/TrackNumber"));
    fields.mf_hasimage = u"0";
    for (const TWMATagFrame& frame : tag.Frames()) {
      if (frame.Name == u"WM/Picture") {  // exactly: another spelling does not count
        fields.mf_hasimage = u"1";
        break;
      }
    }
  }
  fields.mf_filesize = platform::IntToU16(tag.FileSize());
  fields.mf_filetype = FileTypeWMA;
  return true;
}

}  // namespace velmaro::import
