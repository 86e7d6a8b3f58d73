# Part of the manifest program of scripts/make-test-audio, which runs its
# parts as one program, in the order it names them: the tag sets mutagen writes.

# ------------------------------------------------------------ tag sets (mutagen)
#
# Text encodings: "latin1" (encoding 0, bytes in Windows-1252, which agrees with
# Latin-1 for every letter used), "latin1-utf8" (encoding 0 holding UTF-8
# bytes, as broken taggers write), "utf-16" (1, with BOM), "utf-16be" (2, v2.4
# only), "utf-8" (3, v2.4 only).

def T(fid, enc, text):
    return {"id": fid, "enc": enc, "text": text}

def COMM(enc, lang, desc, text):
    return {"id": "COMM", "enc": enc, "lang": lang, "desc": desc, "text": text}

def TXXX(enc, desc, text):
    return {"id": "TXXX", "enc": enc, "desc": desc, "text": text}

def APIC(enc, mime, ptype, desc, picture):
    return {"id": "APIC", "enc": enc, "mime": mime, "type": ptype, "desc": desc,
            "picture": picture}

U16, U16BE, U8, L1 = "utf-16", "utf-16be", "utf-8", "latin1"

TAGSETS = {
    "v23_utf16": {"id3v2": {"version": 3, "frames": [
        T("TPE1", U16, "Björk & Sigur Rós"),
        T("TIT2", U16, "Hoppípolla – Ελληνικά 日本語"),
        T("TALB", U16, "Ágætis byrjun"),
        T("TYER", U16, "1999"),
        T("TCON", U16, "(17)"),
        COMM(U16, "eng", "", "Ein schöner Kommentar"),
        T("TRCK", U16, "7/12"),
        APIC(U16, "image/png", 3, "Cover", "small")]}},
    "v24_utf8": {"id3v2": {"version": 4, "frames": [
        T("TPE1", U8, "Motörhead"),
        T("TIT2", U8, "Ace of Spades – Ünïcödé"),
        T("TALB", U8, "Ærøskøbing Sessions"),
        T("TDRC", U8, "2004-05-01"),
        T("TCON", U8, "17"),
        COMM(U8, "deu", "Notiz", "Grüße aus Köln"),
        T("TRCK", U8, "3")]}},
    "v23_latin1": {"id3v2": {"version": 3, "frames": [
        T("TPE1", L1, "Café Tacvba"),
        T("TIT2", L1, "Señor Müller"),
        T("TALB", L1, "Noël à Paris"),
        T("TYER", L1, "1987"),
        T("TCON", L1, " (13) "),
        COMM(L1, "eng", "", "Preis 5€ – günstig"),
        T("TRCK", L1, "01")]}},
    "v24_utf16be_big_picture": {"id3v2": {"version": 4, "frames": [
        T("TPE1", U16BE, "Sigur Rós"),
        T("TIT2", U16BE, "Svefn-g-englar"),
        T("TALB", U16BE, "Ágætis byrjun"),
        T("TDRC", U16BE, "2011"),
        T("TCON", U16BE, "(0)"),
        COMM(U16BE, "eng", "", "a big picture lies between tag start and audio"),
        T("TRCK", U16BE, "12/12"),
        APIC(U16BE, "image/png", 0, "", "large")]}},
    "v23_special": {"id3v2": {"version": 3, "frames": [
        T("TPE1", U16, 'AC\\DC: "Live"'),
        T("TIT2", U16, 'Say "Hi": A\\B'),
        T("TALB", U16, 'C:\\Music\\"Best Of"'),
        T("TYER", U16, "2000"),
        T("TCON", U16, 'Rock\\Pop: "Mix"'),
        COMM(U16, "eng", "", 'a "quoted" \\ comment: yes'),
        T("TRCK", U16, "1/2")]}},
    "v23_txxx_upper": {"id3v2": {"version": 3, "frames": [
        T("TPE1", L1, "Txxx Artist"),
        T("TIT2", L1, "Comment In TXXX"),
        T("TALB", L1, "User Frames"),
        T("TYER", L1, "2003"),
        T("TCON", L1, "(17)Rock"),
        TXXX(L1, "COMMENT", "Live"),
        T("TRCK", L1, "4")]}},
    "v24_txxx_lower": {"id3v2": {"version": 4, "frames": [
        T("TPE1", U8, "Lower Case"),
        T("TIT2", U8, "TXXX comment lower"),
        T("TDRC", U8, "2012-12"),
        T("TCON", U8, "(999)"),
        TXXX(U8, "REPLAYGAIN_TRACK_GAIN", "-6.00 dB"),
        TXXX(U8, "comment", "ffmpeg style comment"),
        T("TRCK", U8, "5/5")]}},
    "v23_tdrc_fallback": {"id3v2": {"version": 3, "frames": [
        T("TPE1", U16, "Year Fallback"),
        T("TIT2", U16, "TYER Blank"),
        T("TYER", U16, "   "),
        T("TDRC", U16, "2005"),
        T("TCON", U16, "(RX)")]},
        "note": "TYER holds spaces only; TDRC stands in a v2.3 tag, as many taggers write it"},
    "v23_utf8_in_latin1": {"id3v2": {"version": 3, "frames": [
        T("TPE1", "latin1-utf8", "Grün Straße"),
        T("TIT2", "latin1-utf8", "Déjà vu"),
        T("TALB", L1, "Mojibake Repair")]}},
    "v23_blank_title_v1": {
        "id3v2": {"version": 3, "frames": [
            T("TPE1", L1, "V2 Artist"),
            T("TIT2", L1, "   ")]},
        "id3v1": {"rev": 1, "title": "Song", "artist": "V1 Artist", "album": "V1 Album",
                  "year": "1995", "comment": "V1 comment", "track": 9, "genre": 8}},
    "v24_v1_differ": {
        "id3v2": {"version": 4, "frames": [
            T("TPE1", U8, "Tag Two Artist"),
            T("TIT2", U8, "Tag Two Title"),
            T("TALB", U8, "Tag Two Album"),
            T("TDRC", U8, "2020"),
            T("TCON", U8, "Electronic"),
            COMM(U8, "eng", "", "from ID3v2"),
            T("TRCK", U8, "2/5"),
            APIC(U8, "image/png", 3, "", "small")]},
        "id3v1": {"rev": 1, "title": "Tag One Title", "artist": "Tag One Artist",
                  "album": "Tag One Album", "year": "1990", "comment": "from ID3v1",
                  "track": 4, "genre": 0}},
    "v11_only": {
        "id3v1": {"rev": 1, "title": "Motörhead Song", "artist": "Sigur Rós",
                  "album": "Album One", "year": "1983", "comment": "ID3v1.1 comment",
                  "track": 5, "genre": 17, "utf8_fields": ["artist"]},
        "note": "the ID3v1 artist holds UTF-8 bytes; the other texts are Windows-1252"},
    "v10_only": {
        "id3v1": {"rev": 0, "title": "Space Padded Title", "artist": "Old Tagger",
                  "album": "Nineteen Seventy-Seven", "year": "1977",
                  "comment": "This comment is 30 chars long!", "genre": 255, "pad": " "}},
    "apic_only": {"id3v2": {"version": 3, "frames": [
        APIC(L1, "image/png", 3, "", "small")]}},
    "v24_vbr": {"id3v2": {"version": 4, "frames": [
        T("TPE1", U8, "VBR Artist"),
        T("TIT2", U8, "Xing Behind A Tag"),
        T("TALB", U8, "Variable"),
        T("TDRC", U8, "2015"),
        T("TCON", U8, "Ambient"),
        T("TRCK", U8, "1")]}},
    "v23_v1_mpeg25": {
        "id3v2": {"version": 3, "frames": [
            T("TPE1", L1, "Low Rate"),
            T("TIT2", L1, "Eight Kilohertz"),
            T("TYER", L1, "2008"),
            T("TCON", L1, "(8)")]},
        "id3v1": {"rev": 1, "title": "Eight Kilohertz", "artist": "Low Rate",
                  "album": "Narrowband", "year": "2008", "comment": "", "track": 2,
                  "genre": 8}},
    "tag_only": {"id3v2": {"version": 3, "frames": [
        T("TPE1", L1, "Nobody"), T("TIT2", L1, "No Audio Here")]}},
    "riff_v23": {"id3v2": {"version": 3, "frames": [
        T("TPE1", U16, "Wave Artist – Ärger"),
        T("TIT2", U16, "Chunk After Data"),
        T("TALB", U16, "Containers"),
        T("TYER", U16, "2018"),
        T("TCON", U16, "(17)"),
        COMM(U16, "eng", "", "ID3 in a RIFF chunk"),
        T("TRCK", U16, "1/3"),
        APIC(U16, "image/png", 3, "", "small")]}},
    "aiff_v24": {"id3v2": {"version": 4, "frames": [
        T("TPE1", U8, "Aiff Artist – Öl"),
        T("TIT2", U8, "Chunk In FORM"),
        T("TALB", U8, "Containers"),
        T("TDRC", U8, "2019-07-14"),
        T("TCON", U8, "Chanson"),
        COMM(U8, "fra", "", "ID3 dans un chunk AIFF"),
        T("TRCK", U8, "2/3")]}},
}

# MP4 items (mutagen): text items with one or more values (one "data" atom
# each), trkn (track, total), covr, free-form "----" items (mean, name).

def ITEM(name, *texts):
    return {"name": name, "text": list(texts)}

def TRKN(track, total):
    return {"name": "trkn", "track": [track, total]}

def COVR(picture):
    return {"name": "covr", "picture": picture, "format": "png"}

def FREE(mean, name, text):
    return {"name": "----:%s:%s" % (mean, name), "freeform": text}

# Pictures of FLAC PICTURE blocks, Vorbis METADATA_BLOCK_PICTURE comments (the
# base64 of a PICTURE block body) and ASF WM/Picture values.

def PIC(picture, ptype=3, mime="image/png", desc=""):
    return {"picture": picture, "type": ptype, "mime": mime, "desc": desc}

# ASF attributes: type unicode, dword, qword, word, bool or picture (a
# WM/Picture byte array); stream 0 asks for the Metadata object.

def A(name, atype, value, stream=None):
    out = {"name": name, "type": atype, "value": value}
    if stream is not None:
        out["stream"] = stream
    return out

LYRICS = "".join("Line %d of a long lyrics comment that fills page after page.\n" % i
                 for i in range(1, 201))

TAGSETS.update({
    "mp4_full": {"mp4": [
        ITEM("©nam", "Vollständiger Titel"),
        ITEM("©ART", "First Artist", "Second Artist"),
        ITEM("©alb", "MP4 Album – Ünïcödé"),
        ITEM("©day", "2009-06-01"),
        ITEM("©cmt", "An MP4 comment"),
        ITEM("©gen", "Electronic"),
        TRKN(7, 12),
        FREE("com.apple.iTunes", "MOOD", "calm"),
        COVR("small")],
        "note": "©ART holds two data atoms; only the first counts"},
    "mp4_special": {"mp4": [
        ITEM("©nam", 'Say "Hi": A\\B'),
        ITEM("©ART", 'AC\\DC: "Live"'),
        ITEM("©alb", "  Padded Album  "),
        ITEM("©day", "1999"),
        ITEM("©gen", "(17)"),
        ITEM("©cmt", 'colon: backslash\\ quote"')],
        "note": "no trkn (track 0), no covr (has-image stays empty), and a genre (17) "
                "that MP4 keeps as text"},
    "mp4_big_cover": {"mp4": [
        ITEM("©nam", "Big Cover"),
        ITEM("©ART", "Cover Artist"),
        TRKN(1, 0),
        COVR("large")]},
    "mp4_freeform_only": {"mp4": [
        FREE("com.apple.iTunes", "MOOD", "quiet"),
        COVR("small")],
        "note": "only a free-form item and a cover: artist and title come from the file name"},
    "mp4_book": {"mp4": [
        ITEM("©nam", "Book With Cover"),
        ITEM("©ART", "Narrator"),
        ITEM("©alb", "Audio Books"),
        TRKN(3, 0),
        COVR("small")]},
    "mp4_ringtone": {"mp4": [
        ITEM("©nam", "Ringtone With Cover"),
        ITEM("©gen", "Podcast"),
        COVR("small")]},

    "flac_full": {"vorbis": [
        ["ARTIST", "Vorbis Artist"],
        ["TITLE", "Comments And Picture"],
        ["ALBUM", "FLAC Tags"],
        ["DATE", "2004"],
        ["GENRE", "(17)"],
        ["COMMENT", "a FLAC comment"],
        ["TRACKNUMBER", "3/9"]],
        "pictures": [PIC("small", 3, "image/png", "Cover")], "padding": 256,
        "note": "FLAC genres are not resolved: (17) stays (17)"},
    "flac_picture_first": {"vorbis": [
        ["ARTIST", "Picture First"],
        ["TITLE", "Before The Comments"],
        ["ALBUM", "Block Order"],
        ["DATE", "2005-06-07"],
        ["TRACKNUMBER", "1"]],
        "pictures": [PIC("small", 0, "image/png", "")], "padding": 256,
        "order": ["STREAMINFO", "PICTURE", "VORBIS_COMMENT", "PADDING"]},
    "flac_case": {"vorbis": [
        ["artist", "Lower First"],
        ["ARTIST", "Upper Second"],
        ["Title", "Tab\there"],
        ["ALBUM", "Line\r\nBreaks"],
        ["YEAR", "1999"],
        ["DESCRIPTION", "not the comment"],
        ["TrackNumber", "05"],
        ["genre", "Ambient"]],
        "padding": 256,
        "note": "the first of two artist comments wins whatever its case; a tab becomes a "
                "space, CR and LF stay; YEAR and DESCRIPTION are not read for FLAC"},
    "flac_two_pictures": {"vorbis": [
        ["TITLE", "Two Pictures"],
        ["ARTIST", "Picture Artist"]],
        "pictures": [PIC("large", 3, "image/png", "Front"), PIC("small", 4, "image/png", "Back")],
        "padding": 0,
        "note": "the last block is a PADDING block of length 0 flagged last: both walks end there"},
    "flac_utf8": {"vorbis": [
        ["ARTIST", "Björk Guðmundsdóttir"],
        ["TITLE", "日本語のタイトル"],
        ["ALBUM", "Ελληνικά"],
        ["DATE", "2001-05-01"],
        ["GENRE", "Électronique"],
        ["COMMENT", "  spaces around  "],
        ["TRACKNUMBER", "11"]],
        "padding": 256},
    "id3_before_flac": {"id3v2": {"version": 3, "frames": [
        T("TPE1", L1, "ID3 Artist"),
        T("TIT2", L1, "ID3 Before fLaC")]}},

    "vorbis_full": {"vorbis": [
        ["ARTIST", "Ogg Artist"],
        ["TITLE", "Comments And Picture"],
        ["ALBUM", "Ogg Tags"],
        ["YEAR", "2006"],
        ["DATE", "2006-03-04"],
        ["GENRE", "Rock"],
        ["COMMENT", "an Ogg comment"],
        ["TRACKNUMBER", "2/7"],
        ["METADATA_BLOCK_PICTURE", PIC("small", 3, "image/png", "Cover")]]},
    "vorbis_many_pages": {"vorbis": [
        ["LYRICS", LYRICS],
        ["ARTIST", "Paged Artist"],
        ["TITLE", "Many Pages"],
        ["ALBUM", "Long Comment Header"],
        ["METADATA_BLOCK_PICTURE", PIC("large", 3, "image/png", "Front")],
        ["YEAR", "2013"],
        ["GENRE", "Ambient"],
        ["COMMENT", "after a long comment and a big picture"],
        ["TRACKNUMBER", "9"]],
        "note": "a comment packet of over 80,000 bytes cannot fit one Ogg page: a long LYRICS "
                "comment comes first and a picture of about 66,000 base64 characters lies "
                "between the comments the import reads"},
    "vorbis_lower_case": {"vorbis": [
        ["album", "lower album"],
        ["date", "2004"],
        ["metadata_block_picture", PIC("small", 0, "image/png", "")],
        ["genre", "Jazz"],
        ["tracknumber", "4"]],
        "note": "names in lower case; only date, so the year stays empty; artist and title "
                "come from the file name"},

    "asf_full": {"asf": [
        A("Title", "unicode", "WMA Title"),
        A("Author", "unicode", "WMA Artist"),
        A("Description", "unicode", "a WMA comment"),
        A("WM/AlbumTitle", "unicode", "WMA Album"),
        A("WM/Year", "unicode", "2007"),
        A("WM/Genre", "unicode", "Jazz"),
        A("WM/TrackNumber", "dword", 7),
        A("WM/Picture", "picture", PIC("small", 3, "image/png", "Cover"))]},
    "asf_huge": {"asf": [
        A("Title", "unicode", "Huge Picture"),
        A("Author", "unicode", "Library Artist"),
        A("WM/AlbumTitle", "unicode", "Header Extension"),
        A("WM/Year", "unicode", "2012"),
        A("WM/Genre", "unicode", "(13)"),
        A("WM/TrackNumber", "unicode", "7/12"),
        A("WM/Picture", "picture", PIC("huge", 3, "image/png", "Front")),
        A("IsVBR", "bool", True, stream=0),
        A("WM/EncodingTime", "qword", 131000000000000000),
        A("WM/SharedUserRating", "word", 50)],
        "note": "the picture is over 64 KiB, so it lies in the Metadata Library object; IsVBR "
                "is a 16-bit BOOL in the Metadata object; the length estimate grows with the "
                "picture; WM/Genre (13) is not resolved"},
    "asf_case": {"asf": [
        A("TITLE", "unicode", "Upper Case Name"),
        A("wm/albumtitle", "unicode", "Lower Case Album"),
        A("wm/picture", "picture", PIC("small")),
        A("WM/PICTURE", "picture", PIC("small"))],
        "note": "names are matched ignoring case, except WM/Picture for the has-image flag: "
                "neither picture counts; the artist comes from the file name"},
    "asf_special": {"asf": [
        A("Title", "unicode", 'Say "Hi": A\\B'),
        A("Author", "unicode", 'AC\\DC: "Live"'),
        A("Description", "unicode", 'a "quoted" \\ comment: yes'),
        A("WM/AlbumTitle", "unicode", 'C:\\Music\\"Best Of"'),
        A("WM/Genre", "unicode", "Rock\\Pop"),
        A("WM/Year", "unicode", " 2000 "),
        A("WM/TrackNumber", "word", 3)]},
})
