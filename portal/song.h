#pragma once

#include <string>
#include <vector>

namespace mevra::portal {

// How the music host answers a song's file link.
enum class Delivery {
  kCounted,  // one response with Content-Length
  kChunked,  // one response with Transfer-Encoding: chunked
  kRedirect  // a 302 to the stored location, which then answers with Content-Length
};

// Deliberate faults, so clients can be tested against a misbehaving file host.
enum class Fault {
  kNone,
  kMissingFile,  // the file link answers 404
  kEarlyClose,   // announces Content-Length N, sends fewer bytes, closes
  kStall,        // sends the head and part of the body, then nothing for a long time
  // Faults that pass, so retries and resumed downloads can be shown: the first two requests of
  // each download reset the connection part way; the first answers 503 with Retry-After: 1; every
  // request gets the whole file with 200 whatever range it asks for; the first range request of
  // each download gets 206 with only half of the bytes it asked for.
  kResetsTwice,
  kBusyOnce,
  kIgnoresRange,
  kShortRangeOnce
};

// What a song's lyrics look like on the music host.
enum class Lyrics {
  kTimed,  // LRC lines with times
  kPlain,  // lines without times
  kNone
};

// One song of the portal's data set.
struct Song {
  std::string id;  // decimal digits
  std::string title;
  std::string singer;
  int seconds = 0;         // length of the generated audio
  std::vector<int> rates;  // offered bit rates in kbit/s, ascending
  Delivery delivery = Delivery::kCounted;
  Fault fault = Fault::kNone;
  bool has_cover = true;
  Lyrics lyrics = Lyrics::kTimed;

  bool Offers(int rate) const;
};

}  // namespace mevra::portal
