#include "import/Mp3Fields.h"

#include "import/TagText.h"
#include "library/SqlText.h"
#include "platform/Text.h"
#include "tags/id3v1/Genres.h"
#include "tags/id3v1/TID3v1Tag.h"
#include "tags/id3v2/TID3v2Tag.h"
#include "tags/mpeg/TMPEGaudio.h"

namespace velmaro::import {

using namespace velmaro::tags;

std::u16string ResolveGenreCode(std::u16string_view text) {
  const std::u16string t = Trim(text);
  if (t.empty() || t.front() != u'(') return std::u16string(text);
  std::u16string code;
  if (t.size() >= 2 && t.back() == u')') {
    code = t.substr(1, t.size() - 2);
  } else {
    const std::size_t close = t.find(u')');
    code = close == std::u16string::npos ? std::u16string() : t.substr(1, close - 1);
  }
  long long number = -1;
  if (code.empty() || code.front() == u'+' || code.front() == u'-' || !ParseDecimalInt64(code, number))
    number = -1;
  if (number >= 0 && number < GenreCount) return std::u16string(GenreName(static_cast<int>(number)));
  return std::u16string(text);
}

namespace {

constexpr const char16_t* VersionCodes[4] = {u"25", u"0", u"2", u"1"};
constexpr const char16_t* LayerCodes[4] = {u"0", u"3", u"2", u"1"};

void ReadId3v2(std::u16string_view path, TTrackFields& fields) {
  TID3v2Tag tag;
  if (tag.LoadFromFile(path, true) != TID3v2Tag::ResultSuccess) return;
  tag.RemoveUnsynchronisationOnAllFrames();
  fields.mf_artist = PrepareTagText(tag.GetUnicodeText("TPE1", true));
  fields.mf_title = PrepareTagText(tag.GetUnicodeText("TIT2", true));
  fields.mf_album = PrepareTagText(tag.GetUnicodeText("TALB", true));
  fields.mf_year = PrepareTagText(tag.GetUnicodeText("TYER", true));
  if (Trim(fields.mf_year).empty()) fields.mf_year = PrepareTagText(tag.GetUnicodeText("TDRC", true));
  // A numbered genre becomes its name first, so that the name is cleaned
  // like any tag text ("Pop/Funk" holds the path delimiter on POSIX).
  fields.mf_genre = PrepareTagText(ResolveGenreCode(tag.GetUnicodeText("TCON", true)));
  fields.mf_trackno = PrepareTagText(tag.GetUnicodeText("TRCK", true));
  std::string language;
  std::u16string description;
  std::u16string comment = tag.GetUnicodeComment("COMM", language, description);
  if (comment.empty()) tag.FindTXXXByDescription(u"COMMENT", comment);
  fields.mf_comment = PrepareTagText(comment);
  fields.mf_hasimage = tag.FrameExists("APIC") >= 0 ? u"1" : u"0";
  fields.mf_filesize = platform::IntToU16(tag.FileSize());
}

void ReadId3v1(std::u16string_view path, TTrackFields& fields) {
  TID3v1Tag tag;
  if (tag.LoadFromFile(path) != TID3v1Tag::ResultOk) return;
  auto fill = [](std::u16string& field, const std::u16string& value) {
    if (field.empty()) field = PrepareTagText(value);
  };
  fill(fields.mf_artist, tag.Artist());
  fill(fields.mf_title, tag.Title());
  fill(fields.mf_album, tag.Album());
  fill(fields.mf_year, tag.Year());
  fill(fields.mf_genre, tag.Genre());
  fill(fields.mf_comment, tag.Comment());
  if (fields.mf_trackno.empty()) fields.mf_trackno = platform::IntToU16(tag.Track());
  if (fields.mf_filesize.empty()) fields.mf_filesize = platform::IntToU16(tag.FileSize());
}

}  // namespace

bool ReadMp3Fields(std::u16string_view path, TTrackFields& fields, TSkipReason&) {
  {
    TMPEGaudio mpeg;
    if (!mpeg.ReadFromFileDataOnly(path) || !mpeg.Valid()) return false;
    const FrameData& frame = mpeg.Frame();
    fields.mf_length = CeilSecondsText(mpeg.Duration());
    fields.mf_bitrate = platform::IntToU16(mpeg.BitRate());
    fields.mf_samplerate = platform::IntToU16(mpeg.SampleRate());
    fields.mf_channelsmode = platform::IntToU16(frame.ModeID);
    fields.mf_mpegversion = VersionCodes[frame.VersionID & 3];
    fields.mf_mpeglayer = LayerCodes[frame.LayerID & 3];
  }
  ReadId3v2(path, fields);
  ReadId3v1(path, fields);
  fields.mf_filetype = FileTypeMP3;
  return true;
}

}  // namespace velmaro::import
