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
  kStall         // sends the head and part of the body, then nothing for a long time
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

  bool Offers(int rate) const;
};

}  // namespace mevra::portal
