#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace mevra::download {

// What a link source found for one song.
struct LinkAnswer {
  bool found = false;
  QString url;     // the file's address, when found
  QString reason;  // why there is none, in the user's words, when not found
  // The page could not be loaded at all (the portal did not answer), as opposed to a page that
  // loaded and offers no link; several in a row mean the portal is gone.
  bool unreachable = false;
  QString rate;        // the rate of the link found, which a fallback may make lower than asked
  QString cover_url;   // the song's cover on the music host, when its page offers one
  QString lyrics_url;  // the song's lyrics on the music host, when its page offers them
};

// Finds the file link of a song at a rate, asynchronously. The program's source reads the song's
// download page in a hidden browser; tests give links of their own.
class LinkSource {
 public:
  using Ticket = quint64;
  using Answer = std::function<void(const LinkAnswer& answer)>;

  virtual ~LinkSource() = default;

  // Asks for the link of song `id` at `rate` ("128", "192", "320"). `answer` runs later from the
  // event loop, exactly once, unless the ticket is cancelled first; never inside this call.
  virtual Ticket Request(const QString& id, const QString& rate, Answer answer) = 0;
  // The ticket's answer will not come. Nothing happens for a ticket already answered.
  virtual void Cancel(Ticket ticket) = 0;
};

}  // namespace mevra::download
