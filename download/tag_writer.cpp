#include "download/tag_writer.h"

#include <QFile>

#include <id3v2header.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <tstring.h>

namespace mevra::download {
namespace {

TagLib::String Utf8(const QString& text) {
  return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

}  // namespace

bool WriteMissingTags(const QString& path, const QString& title, const QString& artist) {
  // Opened by type, not by the name's extension: the file is still named ".part" here.
  TagLib::MPEG::File file(QFile::encodeName(path).constData());
  if (!file.isValid()) return false;
  const TagLib::Tag* present = file.tag();
  const TagLib::String present_title = present ? present->title() : TagLib::String();
  const TagLib::String present_artist = present ? present->artist() : TagLib::String();
  if (!present_title.isEmpty() && !present_artist.isEmpty()) return true;
  // A title or artist found only in an older tag goes into the new one too, since players read
  // the new tag alone.
  const bool had_id3v2 = file.hasID3v2Tag();
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  if (tag->title().isEmpty()) tag->setTitle(present_title.isEmpty() ? Utf8(title) : present_title);
  if (tag->artist().isEmpty())
    tag->setArtist(present_artist.isEmpty() ? Utf8(artist) : present_artist);
  // A tag keeps its own version, since saving a 2.4 tag as 2.3 drops the frames 2.3 lacks; a
  // new tag is a 2.3 one, the version every player reads. An ID3v1 tag at the end stays as it is.
  const TagLib::ID3v2::Version version =
      had_id3v2 && tag->header()->majorVersion() >= 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
  return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version,
                   TagLib::File::DoNotDuplicate);
}

}  // namespace mevra::download
