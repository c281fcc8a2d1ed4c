#pragma once

namespace mevra::http {

class HttpClient;

// Sets `client` up as both of the program's clients are set up: HTTP/1.1, redirects followed
// (at most 14 per call), cookies kept in the client's own store, no read time-out, over-long
// lines an error, and the program's fixed request head. The app and the command-line tool call
// this so that the configuration lives in one place.
void ApplyProgramConfiguration(HttpClient& client);

}  // namespace mevra::http
