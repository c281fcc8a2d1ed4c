#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/connection_script.h"

struct ssl_ctx_st;
struct ssl_st;

namespace mevra::test {

// How a scripted server speaks TLS: its certificate and key as PEM text, and the protocol
// versions it accepts (OpenSSL's version numbers, 0 for its defaults).
struct ServerTls {
  std::string certificate;
  std::string key;
  int min_version = 0;
  int max_version = 0;
};

// A loopback server for tests, played from scripts. Connections are accepted on 127.0.0.1 (or
// another loopback address) at an ephemeral port, each one on a thread of its own. The listed
// scripts go to the connections in the order they are accepted; any further connection plays the
// default script, or, without one, is served resources by path: 200 with the resource, 404 for
// anything else, one request per connection. Everything received and every request head is
// recorded. A server made with ServerTls does the TLS handshake first on each connection; scripts
// and resources then go through TLS (each send or piece one record), and a connection whose
// handshake fails plays nothing.
class ScriptedServer {
 public:
  struct Request {
    int connection = -1;  // in accept order, from 0
    std::string head;     // as received, through its blank line
    std::string method;
    std::string target;                          // as on the request line
    std::string path;                            // the target without its query
    std::map<std::string, std::string> headers;  // names in lower case; the last one of a name
  };
  struct Resource {
    std::string content_type;
    std::string body;
    std::vector<std::string> extra_headers;  // whole lines without their line end
  };

  ScriptedServer();
  // The listed scripts; sends split into random pieces of 1..max_piece bytes unless the seed is 0.
  explicit ScriptedServer(std::vector<ConnectionScript> connections, unsigned split_seed = 0,
                          int max_piece = 40);
  ScriptedServer(ServerTls tls, std::vector<ConnectionScript> connections, unsigned split_seed = 0,
                 int max_piece = 40);
  // Where the server listens: "::1" for IPv6; `port` 0 for an ephemeral one.
  struct Listen {
    std::string address = "127.0.0.1";
    int port = 0;
  };
  ScriptedServer(Listen listen, std::optional<ServerTls> tls,
                 std::vector<ConnectionScript> connections = {});
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // The script of the next connection that has none yet.
  void Add(ConnectionScript script);
  // The script of every connection beyond the listed ones.
  void SetDefault(ConnectionScript script);
  // Every Send step goes out in random pieces of 1..max_piece bytes; seed 0 sends whole.
  void SplitSends(unsigned seed, int max_piece = 40);
  // Off: nothing is recorded, for servers that answer millions of requests.
  void SetRecording(bool on);

  void Serve(const std::string& path, std::string content_type, std::string body,
             std::vector<std::string> extra_headers = {});
  // Requests for `path` get their answer only once Release is called.
  void Hold(const std::string& path);
  void Release(const std::string& path);

  int Port() const { return port_; }
  // "https://127.0.0.1:<port><path>" for a TLS server, else "http://..."; "[::1]" for IPv6.
  std::string Url(const std::string& path) const;
  int ConnectionsAccepted() const { return accepted_; }
  // Connections whose TLS handshake succeeded.
  int TlsHandshakes() const { return tls_handshakes_; }
  // The server name each successful handshake's client sent, in order; "" when it sent none.
  std::vector<std::string> ServerNames() const;
  // Everything received, the connections' bytes one after the other in accept order.
  std::string Received() const;
  std::vector<Request> Requests() const;
  bool WasRequested(const std::string& path) const;
  // The most recent request for `path`; an empty record when there was none.
  Request LastRequest(const std::string& path) const;
  // Waits until every listed script has run to its end; false when `limit` passed first.
  bool Join(std::chrono::milliseconds limit = std::chrono::seconds(20));

 private:
  struct Connection;

  void Start();
  void AcceptLoop();
  void Run(Connection& connection);
  bool AcceptTls(Connection& connection);
  // Ends sending: the TLS close alert first when there is a session, then the FIN.
  void HalfClose(Connection& connection);
  void Play(Connection& connection, const ConnectionScript& script);
  void ServeResources(Connection& connection);
  // False once the client has closed or the server stops.
  bool ReceiveSome(Connection& connection);
  // Reads one request head and records it; `path` gets its path.
  bool AwaitRequest(Connection& connection, std::string* path = nullptr);
  void SendAll(Connection& connection, const char* bytes, size_t size);
  void SendPieces(Connection& connection, const std::string& bytes, std::mt19937& random,
                  int max_piece);
  void CloseSocket(Connection& connection, bool reset);
  void ReapFinished();

  std::string address_ = "127.0.0.1";
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> tls_handshakes_{0};
  ssl_ctx_st* tls_context_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ConnectionScript> listed_;
  std::unique_ptr<ConnectionScript> default_script_;
  unsigned split_seed_ = 0;
  int max_piece_ = 40;
  bool recording_ = true;
  // Shared, so that a big body is never copied to be sent.
  std::map<std::string, std::shared_ptr<const Resource>> resources_;
  std::map<std::string, uint64_t> held_;  // path -> the hold's number
  uint64_t holds_ = 0;
  int listed_done_ = 0;
  std::vector<std::string> received_;  // per connection
  std::vector<Request> requests_;
  std::vector<std::string> server_names_;
  std::vector<std::unique_ptr<Connection>> connections_;

  std::thread acceptor_;
};

}  // namespace mevra::test
