#include "import/FormatFields.h"
#include "import/TagText.h"
#include "platform/Text.h"
#include "tags/mp4/TMP4Tag.h"

namespace velmaro::import {

using namespace velmaro::tags;

namespace {
// A stream value as text, empty when the reader has none.
std::u16string NonZero(long long value) { return value == 0 ? std::u16string() : platform::IntToU16(value); }
}  // namespace

bool ReadMp4Fields(std::u16string_view path, TTrackFields& fields, TSkipReason&) {
  TMP4Tag mp4;
  // A file without metadata items (result 1) is still a track when the
  // reader found its audio: it is imported with the name fallbacks.
  const int result = mp4.LoadFromFile(path);
  if (result != TMP4Tag::ResultSuccess && !(result == TMP4Tag::ResultNoItems && mp4.Playtime() > 0)) return false;
  fields.mf_title = PrepareTagText(mp4.GetText(u"\u00a9nam"));
  fields.mf_artist = PrepareTagText(mp4.GetText(u"\u00a9ART"));
  fields.mf_album = PrepareTagText(mp4.GetText(u"\u00a9alb"));
  fields.mf_year = PrepareTagText(mp4.GetText(u"\u00a9day"));
  fields.mf_comment = PrepareTagText(mp4.GetText(u"\u00a9cmt"));
  fields.mf_trackno = platform::IntToU16(mp4.GetTrack());
  fields.mf_genre = PrepareTagText(mp4.GetGenre());
  // A cover sets the flag; without one it stays empty (never "0").
  const TAtomName cover = MakeAtomName(u"covr");
  for (const TMP4Atom& atom : mp4.Atoms()) {
    if (atom.ID == cover) {
      fields.mf_hasimage = u"1";
      break;
    }
  }
  if (mp4.Playtime() > 0) {
    fields.mf_length = CeilSecondsText(mp4.Playtime());
    fields.mf_bitrate = NonZero(mp4.BitRate());
    fields.mf_samplerate = NonZero(mp4.AudioSampleRate());
    fields.mf_channelsmode = NonZero(mp4.AudioChannelCount());
  }
  fields.mf_filesize = platform::IntToU16(mp4.FileSize());
  fields.mf_filetype = FileTypeMP4;
  return true;
}

}  // namespace velmaro::import
