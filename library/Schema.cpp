#include "library/Schema.h"

namespace velmaro {

const std::vector<std::u16string_view>& LibrarySchemaStatements() {
  // The table must stay an ordinary rowid table: the folder tree names
  // tracks by their rowid. Every column carries NOCASE (ASCII folding).
  static const std::vector<std::u16string_view> statements = {
      u"drop table if exists mp3files_temp",
      u"CREATE TABLE if NOT EXISTS [mp3files] ([mf_path] CHAR NOT NULL PRIMARY KEY COLLATE NOCASE,"
      u"[mf_artist] CHAR COLLATE NOCASE,[mf_title] CHAR COLLATE NOCASE,[mf_album] CHAR COLLATE NOCASE,"
      u"[mf_year] integer COLLATE NOCASE,[mf_genre] CHAR COLLATE NOCASE,[mf_length] integer COLLATE NOCASE,"
      u"[mf_bitrate] integer COLLATE NOCASE,[mf_samplerate] integer COLLATE NOCASE,"
      u"[mf_filesize] integer COLLATE NOCASE,[mf_timeadded] integer COLLATE NOCASE,"
      u"[mf_comment] CHAR COLLATE NOCASE,[mf_trackno] integer COLLATE NOCASE,"
      u"[mf_channelsmode] integer COLLATE NOCASE,[mf_mpegversion] integer COLLATE NOCASE,"
      u"[mf_mpeglayer] integer COLLATE NOCASE,[mf_rating] integer COLLATE NOCASE,"
      u"[mf_favorite] integer COLLATE NOCASE,[mf_filetype] integer COLLATE NOCASE,"
      u"[mf_hasimage] integer COLLATE NOCASE)",
      u"CREATE UNIQUE INDEX if NOT EXISTS [mp3files_index_path] ON mp3files (mf_path COLLATE NOCASE)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_artist] ON mp3files (mf_artist COLLATE NOCASE)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_album] ON mp3files (mf_album COLLATE NOCASE)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_title] ON mp3files (mf_title COLLATE NOCASE)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_genre] ON mp3files (mf_genre COLLATE NOCASE)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_year] ON mp3files (mf_year)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_added] ON mp3files (mf_timeadded)",
      u"CREATE INDEX if NOT EXISTS [mp3files_index_favorites] ON mp3files (mf_favorite)",
      u"CREATE TABLE if NOT EXISTS [vornak] ([vk_dbversion] integer)",
      u"CREATE UNIQUE INDEX if NOT EXISTS [vk_dbversion_index] ON vornak (vk_dbversion)",
  };
  return statements;
}

const std::vector<std::u16string_view>& LibraryVersionStatements() {
  static const std::vector<std::u16string_view> statements = {
      u"DELETE from \"vornak\"",
      u"REPLACE into [vornak] (vk_dbversion) VALUES (1005)",
  };
  return statements;
}

}  // namespace velmaro
