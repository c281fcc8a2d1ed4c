#include "download/tag_writer.h"

#include <QFile>

#include <attachedpictureframe.h>
#include <id3v2header.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <synchronizedlyricsframe.h>
#include <textidentificationframe.h>
#include <tstring.h>
#include <unsynchronizedlyricsframe.h>

namespace mevra::download {
namespace {

// The owner text of the song-id frame; readers look it up by this description.
constexpr char kSongIdDescription[] = "MEVRA_SONG_ID";
// ID3v2.3 knows no UTF-8; UTF-16 with a byte order mark is what every version reads.
constexpr TagLib::String::Type kFrameEncoding = TagLib::String::UTF16;
// The lyrics' language is not known; ISO 639-2 has a code for that.
constexpr char kUnknownLanguage[] = "und";

TagLib::String Utf8(const QString& text) {
  return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

void RemoveFrames(TagLib::ID3v2::Tag* tag, const char* id) {
  // Copied first: removing a frame changes the list being walked.
  const TagLib::ID3v2::FrameList frames = tag->frameList(id);
  for (TagLib::ID3v2::Frame* frame : frames) tag->removeFrame(frame);
}

void SetSongId(TagLib::ID3v2::Tag* tag, const QString& song_id) {
  if (auto* old = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, kSongIdDescription)) {
    tag->removeFrame(old);
  }
  auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(kFrameEncoding);
  frame->setDescription(kSongIdDescription);
  frame->setText(Utf8(song_id));
  tag->addFrame(frame);
}

void SetCover(TagLib::ID3v2::Tag* tag, const QByteArray& jpeg) {
  // Only the front cover is ours to replace; other pictures the file carries stay.
  const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
  for (TagLib::ID3v2::Frame* frame : pictures) {
    auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
      tag->removeFrame(frame);
    }
  }
  auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
  frame->setTextEncoding(kFrameEncoding);
  frame->setMimeType("image/jpeg");
  frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
  frame->setPicture(TagLib::ByteVector(jpeg.constData(), static_cast<unsigned int>(jpeg.size())));
  tag->addFrame(frame);
}

void SetLyrics(TagLib::ID3v2::Tag* tag, const QString& lyrics,
               const std::vector<TimedLine>& timed_lines) {
  RemoveFrames(tag, "USLT");
  auto* plain = new TagLib::ID3v2::UnsynchronizedLyricsFrame(kFrameEncoding);
  plain->setLanguage(kUnknownLanguage);
  plain->setText(Utf8(lyrics));
  tag->addFrame(plain);
  RemoveFrames(tag, "SYLT");
  if (timed_lines.empty()) return;
  auto* timed = new TagLib::ID3v2::SynchronizedLyricsFrame(kFrameEncoding);
  timed->setLanguage(kUnknownLanguage);
  timed->setTimestampFormat(TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds);
  timed->setType(TagLib::ID3v2::SynchronizedLyricsFrame::Lyrics);
  TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList lines;
  for (const TimedLine& line : timed_lines) {
    lines.append({static_cast<unsigned int>(line.ms), Utf8(line.text)});
  }
  timed->setSynchedText(lines);
  tag->addFrame(timed);
}

}  // namespace

bool WriteSongTags(const QString& path, const SongTags& tags) {
  // Opened by type, not by the name's extension: the file is still named ".part" here.
  TagLib::MPEG::File file(QFile::encodeName(path).constData());
  if (!file.isValid()) return false;
  const TagLib::Tag* present = file.tag();
  const TagLib::String present_title = present ? present->title() : TagLib::String();
  const TagLib::String present_artist = present ? present->artist() : TagLib::String();
  const bool add_title_artist =
      tags.missing_title_artist && (present_title.isEmpty() || present_artist.isEmpty());
  if (!add_title_artist && tags.song_id.isEmpty() && tags.cover_jpeg.isEmpty() &&
      tags.lyrics.isEmpty()) {
    return true;
  }
  const bool had_id3v2 = file.hasID3v2Tag();
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  if (add_title_artist) {
    // A title or artist found only in an older tag goes into the new one too, since players read
    // the new tag alone.
    if (tag->title().isEmpty())
      tag->setTitle(present_title.isEmpty() ? Utf8(tags.title) : present_title);
    if (tag->artist().isEmpty())
      tag->setArtist(present_artist.isEmpty() ? Utf8(tags.artist) : present_artist);
  }
  if (!tags.song_id.isEmpty()) SetSongId(tag, tags.song_id);
  if (!tags.cover_jpeg.isEmpty()) SetCover(tag, tags.cover_jpeg);
  if (!tags.lyrics.isEmpty()) SetLyrics(tag, tags.lyrics, tags.timed_lines);
  // A tag keeps its own version, since saving a 2.4 tag as 2.3 drops the frames 2.3 lacks; a
  // new tag is a 2.3 one, the version every player reads. An ID3v1 tag at the end stays as it is.
  const TagLib::ID3v2::Version version =
      had_id3v2 && tag->header()->majorVersion() >= 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
  return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version,
                   TagLib::File::DoNotDuplicate);
}

bool WriteMissingTags(const QString& path, const QString& title, const QString& artist) {
  SongTags tags;
  tags.missing_title_artist = true;
  tags.title = title;
  tags.artist = artist;
  return WriteSongTags(path, tags);
}

}  // namespace mevra::download
