#include "tests/support/scripted_server.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include "tests/support/loopback.h"

namespace mevra::test {

namespace {

// How often a waiting thread looks at the stop flag.
constexpr int kPollSliceMs = 20;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

ScriptedServer::Request ParseHead(int connection, std::string head) {
  ScriptedServer::Request request;
  request.connection = connection;
  request.head = std::move(head);
  const size_t line_end = request.head.find("\r\n");
  const std::string line = request.head.substr(0, line_end);
  const size_t first = line.find(' ');
  const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  request.method = line.substr(0, first);
  if (first != std::string::npos) request.target = line.substr(first + 1, second - first - 1);
  request.path = request.target.substr(0, request.target.find('?'));
  size_t at = line_end == std::string::npos ? request.head.size() : line_end + 2;
  while (at < request.head.size()) {
    const size_t end = request.head.find("\r\n", at);
    const std::string header = request.head.substr(at, end - at);
    const size_t colon = header.find(':');
    if (colon != std::string::npos && colon > 0) {
      request.headers[Lower(Trim(header.substr(0, colon)))] = Trim(header.substr(colon + 1));
    }
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return request;
}

ssl_ctx_st* MakeServerContext(const ServerTls& tls) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  BIO* certificate_bio =
      BIO_new_mem_buf(tls.certificate.data(), static_cast<int>(tls.certificate.size()));
  BIO* key_bio = BIO_new_mem_buf(tls.key.data(), static_cast<int>(tls.key.size()));
  X509* certificate = PEM_read_bio_X509(certificate_bio, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
  // The server serves weak certificates as well: it is the client that must refuse them.
  if (context != nullptr) SSL_CTX_set_security_level(context, 0);
  const bool loaded = context != nullptr && certificate != nullptr && key != nullptr &&
                      SSL_CTX_use_certificate(context, certificate) == 1 &&
                      SSL_CTX_use_PrivateKey(context, key) == 1;
  X509_free(certificate);
  EVP_PKEY_free(key);
  BIO_free(certificate_bio);
  BIO_free(key_bio);
  if (!loaded) {
    SSL_CTX_free(context);
    ERR_clear_error();
    throw std::runtime_error("the test server cannot load its certificate");
  }
  // The old versions exist only at the lowest security level of OpenSSL 3.
  if (tls.max_version != 0 && tls.max_version < TLS1_2_VERSION) {
    SSL_CTX_set_cipher_list(context, "DEFAULT:@SECLEVEL=0");
  }
  if (tls.min_version != 0) SSL_CTX_set_min_proto_version(context, tls.min_version);
  if (tls.max_version != 0) SSL_CTX_set_max_proto_version(context, tls.max_version);
  return context;
}

}  // namespace

struct ScriptedServer::Connection {
  int index = 0;
  int descriptor = -1;    // -1 once closed; guarded by the server's mutex
  ssl_st* ssl = nullptr;  // the TLS session; used by the connection's thread alone
  std::string pending;    // received and not yet consumed by a step
  std::atomic<bool> finished{false};
  std::thread thread;
};

ScriptedServer::ScriptedServer() { Start(); }

ScriptedServer::ScriptedServer(std::vector<ConnectionScript> connections, unsigned split_seed,
                               int max_piece)
    : listed_(std::move(connections)), split_seed_(split_seed), max_piece_(max_piece) {
  Start();
}

ScriptedServer::ScriptedServer(ServerTls tls, std::vector<ConnectionScript> connections,
                               unsigned split_seed, int max_piece)
    : tls_context_(MakeServerContext(tls)),
      listed_(std::move(connections)),
      split_seed_(split_seed),
      max_piece_(max_piece) {
  Start();
}

ScriptedServer::ScriptedServer(Listen listen, std::optional<ServerTls> tls,
                               std::vector<ConnectionScript> connections)
    : address_(std::move(listen.address)),
      port_(listen.port),
      tls_context_(tls ? MakeServerContext(*tls) : nullptr),
      listed_(std::move(connections)) {
  Start();
}

void ScriptedServer::Start() {
  listener_ = ListenOn(address_, 64, port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  {
    std::lock_guard lock(mutex_);
    // Wakes threads blocked in a send to a client that no longer reads.
    for (const auto& connection : connections_) {
      if (connection->descriptor >= 0) ::shutdown(connection->descriptor, SHUT_RDWR);
    }
  }
  changed_.notify_all();
  acceptor_.join();
  for (const auto& connection : connections_) {
    if (connection->thread.joinable()) connection->thread.join();
  }
  ::close(listener_);
  SSL_CTX_free(tls_context_);
}

void ScriptedServer::Add(ConnectionScript script) {
  std::lock_guard lock(mutex_);
  listed_.push_back(std::move(script));
}

void ScriptedServer::SetDefault(ConnectionScript script) {
  std::lock_guard lock(mutex_);
  default_script_ = std::make_unique<ConnectionScript>(std::move(script));
}

void ScriptedServer::SplitSends(unsigned seed, int max_piece) {
  std::lock_guard lock(mutex_);
  split_seed_ = seed;
  max_piece_ = std::max(max_piece, 1);
}

void ScriptedServer::SetRecording(bool on) {
  std::lock_guard lock(mutex_);
  recording_ = on;
}

void ScriptedServer::Serve(const std::string& path, std::string content_type, std::string body,
                           std::vector<std::string> extra_headers) {
  std::lock_guard lock(mutex_);
  resources_[path] = std::make_shared<const Resource>(
      Resource{std::move(content_type), std::move(body), std::move(extra_headers)});
}

void ScriptedServer::Hold(const std::string& path) {
  std::lock_guard lock(mutex_);
  held_[path] = ++holds_;
}

void ScriptedServer::Release(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    held_.erase(path);
  }
  changed_.notify_all();
}

std::string ScriptedServer::Url(const std::string& path) const {
  return std::string(tls_context_ ? "https" : "http") + "://" + HostAndPort(address_, port_) + path;
}

std::vector<std::string> ScriptedServer::ServerNames() const {
  std::lock_guard lock(mutex_);
  return server_names_;
}

std::string ScriptedServer::Received() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const std::string& bytes : received_) all += bytes;
  return all;
}

std::vector<ScriptedServer::Request> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool ScriptedServer::WasRequested(const std::string& path) const {
  return LastRequest(path).connection >= 0;
}

ScriptedServer::Request ScriptedServer::LastRequest(const std::string& path) const {
  std::lock_guard lock(mutex_);
  for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
    if (it->path == path) return *it;
  }
  return Request{};
}

bool ScriptedServer::Join(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit,
                           [this] { return listed_done_ >= static_cast<int>(listed_.size()); });
}

void ScriptedServer::AcceptLoop() {
  pollfd entry{listener_, POLLIN, 0};
  while (!stopping_) {
    if (::poll(&entry, 1, kPollSliceMs) <= 0) continue;
    const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor < 0) continue;
    // Each piece of a split send leaves at once instead of waiting for the next.
    const int one = 1;
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ReapFinished();
    std::lock_guard lock(mutex_);
    auto connection = std::make_unique<Connection>();
    connection->index = accepted_++;
    connection->descriptor = descriptor;
    if (recording_) received_.resize(static_cast<size_t>(accepted_));
    Connection& started = *connection;
    connections_.push_back(std::move(connection));
    started.thread = std::thread([this, &started] { Run(started); });
  }
}

// Threads of connections that ended are joined as new ones come, so that a server answering
// many connections does not pile them up.
void ScriptedServer::ReapFinished() {
  std::vector<std::unique_ptr<Connection>> done;
  {
    std::lock_guard lock(mutex_);
    auto split = std::stable_partition(connections_.begin(), connections_.end(),
                                       [](const auto& c) { return !c->finished; });
    std::move(split, connections_.end(), std::back_inserter(done));
    connections_.erase(split, connections_.end());
  }
  for (const auto& connection : done) connection->thread.join();
}

void ScriptedServer::Run(Connection& connection) {
  // A client that hangs up while the TLS layer writes must not end the test process: the socket
  // BIO of OpenSSL writes without MSG_NOSIGNAL, and SIGPIPE goes to the writing thread.
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
  const ConnectionScript* script = nullptr;
  ConnectionScript chosen;
  bool listed = false;
  {
    std::lock_guard lock(mutex_);
    if (connection.index < static_cast<int>(listed_.size())) {
      chosen = listed_[connection.index];
      listed = true;
      script = &chosen;
    } else if (default_script_) {
      chosen = *default_script_;
      script = &chosen;
    }
  }
  if (tls_context_ != nullptr && !AcceptTls(connection)) {
    // The client refused the handshake or broke it off: nothing is played.
  } else if (script != nullptr) {
    Play(connection, *script);
  } else {
    ServeResources(connection);
  }
  if (listed) {
    std::lock_guard lock(mutex_);
    ++listed_done_;
  }
  changed_.notify_all();
  // What the client still sends is read and dropped until it closes: closing with unread bytes
  // would send a reset instead of the orderly close.
  while (ReceiveSome(connection)) {
  }
  CloseSocket(connection, false);
  connection.finished = true;
}

void ScriptedServer::Play(Connection& connection, const ConnectionScript& script) {
  unsigned split_seed;
  int max_piece;
  {
    std::lock_guard lock(mutex_);
    split_seed = split_seed_;
    max_piece = max_piece_;
  }
  std::mt19937 split_random(split_seed + static_cast<unsigned>(connection.index));
  using Kind = ConnectionScript::Kind;
  for (const ConnectionScript::Step& step : script.Steps()) {
    if (stopping_) return;
    switch (step.kind) {
      case Kind::kSend:
        if (split_seed == 0) {
          SendAll(connection, step.bytes.data(), step.bytes.size());
        } else {
          SendPieces(connection, step.bytes, split_random, max_piece);
        }
        break;
      case Kind::kSendPieces: {
        std::mt19937 random(step.seed);
        SendPieces(connection, step.bytes, random, step.number);
        break;
      }
      case Kind::kAwaitText: {
        size_t found;
        while ((found = connection.pending.find(step.bytes)) == std::string::npos) {
          if (!ReceiveSome(connection)) return;
        }
        connection.pending.erase(0, found + step.bytes.size());
        break;
      }
      case Kind::kAwaitRequest:
        if (!AwaitRequest(connection)) return;
        break;
      case Kind::kPause: {
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(step.number);
        while (!stopping_ && std::chrono::steady_clock::now() < until) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        break;
      }
      case Kind::kClose:
        HalfClose(connection);
        return;
      case Kind::kCut: {
        std::lock_guard lock(mutex_);
        if (connection.descriptor >= 0) ::shutdown(connection.descriptor, SHUT_WR);
        return;
      }
      case Kind::kReset:
        CloseSocket(connection, true);
        return;
      case Kind::kHold:
        while (ReceiveSome(connection)) {
        }
        return;
    }
  }
}

void ScriptedServer::ServeResources(Connection& connection) {
  std::string path;
  if (!AwaitRequest(connection, &path)) return;
  std::shared_ptr<const Resource> resource;
  {
    std::unique_lock lock(mutex_);
    if (const auto hold = held_.find(path); hold != held_.end()) {
      const uint64_t number = hold->second;
      changed_.wait(lock, [&] {
        const auto now = held_.find(path);
        return stopping_ || now == held_.end() || now->second != number;
      });
    }
    if (const auto found = resources_.find(path); found != resources_.end()) {
      resource = found->second;
    }
  }
  const bool known = resource != nullptr;
  if (!known)
    resource = std::make_shared<const Resource>(Resource{"text/html", "<p>not found</p>", {}});
  std::string answer = known ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n";
  answer += "Content-Type: " + resource->content_type + "\r\n";
  answer += "Content-Length: " + std::to_string(resource->body.size()) + "\r\n";
  answer += "Cache-Control: no-store\r\nConnection: close\r\n";
  for (const std::string& header : resource->extra_headers) answer += header + "\r\n";
  answer += "\r\n";
  SendAll(connection, answer.data(), answer.size());
  SendAll(connection, resource->body.data(), resource->body.size());
  HalfClose(connection);
}

bool ScriptedServer::AcceptTls(Connection& connection) {
  connection.ssl = SSL_new(tls_context_);
  if (connection.ssl == nullptr || SSL_set_fd(connection.ssl, connection.descriptor) != 1 ||
      SSL_accept(connection.ssl) != 1) {
    ERR_clear_error();
    return false;
  }
  {
    const char* name = SSL_get_servername(connection.ssl, TLSEXT_NAMETYPE_host_name);
    std::lock_guard lock(mutex_);
    server_names_.push_back(name != nullptr ? name : "");
  }
  ++tls_handshakes_;
  return true;
}

void ScriptedServer::HalfClose(Connection& connection) {
  std::lock_guard lock(mutex_);
  if (connection.descriptor < 0) return;
  if (connection.ssl != nullptr) {
    SSL_shutdown(connection.ssl);
    ERR_clear_error();
  }
  ::shutdown(connection.descriptor, SHUT_WR);
}

bool ScriptedServer::AwaitRequest(Connection& connection, std::string* path) {
  size_t end;
  while ((end = connection.pending.find("\r\n\r\n")) == std::string::npos) {
    if (!ReceiveSome(connection)) return false;
  }
  Request request = ParseHead(connection.index, connection.pending.substr(0, end + 4));
  connection.pending.erase(0, end + 4);
  if (path != nullptr) *path = request.path;
  std::lock_guard lock(mutex_);
  if (recording_) requests_.push_back(std::move(request));
  return true;
}

bool ScriptedServer::ReceiveSome(Connection& connection) {
  int descriptor;
  {
    std::lock_guard lock(mutex_);
    descriptor = connection.descriptor;
  }
  if (descriptor < 0) return false;
  pollfd entry{descriptor, POLLIN, 0};
  while (!stopping_) {
    // Bytes the TLS layer holds already are there without the socket being readable.
    if (connection.ssl == nullptr || SSL_pending(connection.ssl) == 0) {
      const int ready = ::poll(&entry, 1, kPollSliceMs);
      if (ready == 0) continue;
      if (ready < 0) return false;
    }
    char buffer[65536];
    ssize_t n;
    if (connection.ssl != nullptr) {
      n = SSL_read(connection.ssl, buffer, sizeof buffer);
      if (n <= 0) {
        const int error = SSL_get_error(connection.ssl, static_cast<int>(n));
        ERR_clear_error();
        // A record that carried no data, such as a session ticket's answer.
        if (error == SSL_ERROR_WANT_READ) continue;
        return false;
      }
    } else {
      n = ::recv(descriptor, buffer, sizeof buffer, 0);
    }
    if (n <= 0) return false;
    connection.pending.append(buffer, static_cast<size_t>(n));
    std::lock_guard lock(mutex_);
    const auto index = static_cast<size_t>(connection.index);
    if (recording_ && index < received_.size()) {
      received_[index].append(buffer, static_cast<size_t>(n));
    }
    return true;
  }
  return false;
}

void ScriptedServer::SendAll(Connection& connection, const char* bytes, size_t size) {
  int descriptor;
  {
    std::lock_guard lock(mutex_);
    descriptor = connection.descriptor;
  }
  while (descriptor >= 0 && size > 0 && !stopping_) {
    ssize_t n;
    if (connection.ssl != nullptr) {
      n = SSL_write(connection.ssl, bytes, static_cast<int>(std::min<size_t>(size, 1 << 20)));
      if (n <= 0) ERR_clear_error();
    } else {
      n = ::send(descriptor, bytes, size, MSG_NOSIGNAL);
    }
    if (n <= 0) return;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
}

void ScriptedServer::SendPieces(Connection& connection, const std::string& bytes,
                                std::mt19937& random, int max_piece) {
  for (size_t at = 0, n; at < bytes.size() && !stopping_; at += n) {
    n = std::min<size_t>(1 + random() % static_cast<unsigned>(max_piece), bytes.size() - at);
    SendAll(connection, bytes.data() + at, n);
    // A short pause, so that the client usually reads each piece on its own.
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
  }
}

void ScriptedServer::CloseSocket(Connection& connection, bool reset) {
  std::lock_guard lock(mutex_);
  if (connection.descriptor < 0) return;
  if (reset) {
    const linger option{1, 0};
    ::setsockopt(connection.descriptor, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  }
  SSL_free(connection.ssl);
  connection.ssl = nullptr;
  ::close(connection.descriptor);
  connection.descriptor = -1;
}

}  // namespace mevra::test
