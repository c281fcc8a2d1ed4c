#include "http/custom_http_client.h"

#include "http/bounded_text_stream.h"
#include "http/http_error.h"
#include "http/text_util.h"
#include "net/net_error.h"

namespace mevra::http {

namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

// Restores the read time-out when the scope ends.
class TimeoutGuard {
 public:
  TimeoutGuard(net::TcpConnection& connection, int32_t timeout)
      : connection_(connection), saved_(connection.ReadTimeout()) {
    connection_.SetReadTimeout(timeout);
  }
  ~TimeoutGuard() { connection_.SetReadTimeout(saved_); }
  TimeoutGuard(const TimeoutGuard&) = delete;
  TimeoutGuard& operator=(const TimeoutGuard&) = delete;

 private:
  net::TcpConnection& connection_;
  int32_t saved_;
};

// A chunk-size line: hexadecimal digits, then optionally blanks and ";" extensions, which carry
// nothing this client uses. nullopt for anything else or a size beyond 32 bits.
std::optional<int32_t> ParseChunkSize(const std::string& line) {
  size_t end = 0;
  int64_t size = 0;
  while (end < line.size()) {
    const char c = line[end];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    size = size * 16 + digit;
    if (size > INT32_MAX) return std::nullopt;
    ++end;
  }
  if (end == 0) return std::nullopt;
  const std::string rest = Trim(line.substr(end));
  if (!rest.empty() && rest[0] != ';') return std::nullopt;
  return static_cast<int32_t>(size);
}

}  // namespace

CustomHttpClient::CustomHttpClient() {
  // The peer's port starts at 80 while the target stays empty until the first request.
  TcpClient::SetPort(80);
  request_.SetAccept("text/html, */*");
  request_.SetUserAgent("Mozilla/3.0 (compatible; Mevra HTTP Library)");
}

CustomHttpClient::~CustomHttpClient() = default;

void CustomHttpClient::SetCookieStore(CookieManager* manager) {
  if (manager != own_cookie_manager_.get()) own_cookie_manager_.reset();
  cookie_manager_ = manager;
}

void CustomHttpClient::SetHost(const std::string& host) {
  TcpClient::SetHost(host);
  url_.SetHost(host);
}

void CustomHttpClient::SetPort(int32_t port) {
  TcpClient::SetPort(port);
  url_.SetPort(std::to_string(port));
}

void CustomHttpClient::CloseConnection() {
  close_requested_ = true;
  TcpClient::CloseConnection();
}

void CustomHttpClient::DoRequest(HttpMethod method, const std::string& url, net::Stream* source,
                                 net::Stream* content) {
  // A handler run during this client's wait must not start a second cycle on it: the two would
  // share one connection and one response record.
  if (inside_request_) throw GetInProgressError();
  FlagGuard inside(inside_request_);

  const int64_t start = content != nullptr ? content->Position() : 0;
  request_.SetURL(url);
  request_.SetMethod(method);
  request_.SetSource(source);
  response_.SetContentStream(content);
  redirect_count_ = 0;

  try {
    Outcome outcome = Outcome::kUndefined;
    do {
      ++redirect_count_;
      const std::string target = PrepareRequest();
      ConnectToHost();
      SendRequestHead(target);
      ReadResponseHead();
      outcome = ProcessResponse();
      if (outcome == Outcome::kUndefined) throw net::NetError("Undefined situation");
      if (outcome == Outcome::kFollow && content != nullptr) {
        content->Seek(start);
        content->SetSize(start);
      }
    } while (outcome == Outcome::kFollow);
    if (!response_.KeepAlive()) CloseConnection();
  } catch (const HttpProtocolError&) {
    // The error body was read to its end (or the connection closed), so the connection is in a
    // known state and keep-alive decides as after any response.
    redirect_count_ = 0;
    if (!response_.KeepAlive()) CloseConnection();
    throw;
  } catch (...) {
    // Anything else may have stopped in the middle of a head or a body; whatever is left on
    // the wire must not be read as the next response.
    redirect_count_ = 0;
    CloseConnection();
    throw;
  }
  redirect_count_ = 0;
}

std::string CustomHttpClient::PrepareRequest() {
  const Uri next(request_.URL());
  if (!next.Username().empty()) {
    request_.SetUsername(next.Username());
    request_.SetPassword(next.Password());
  }
  url_.Merge(next);

  // The target goes on the request line exactly as taken apart from the URL: no encoding.
  const std::string target = url_.Path() + url_.Document() + url_.Params();
  request_.SetURL(target);
  request_.SetContentLength(-1);
  request_.SetHost(url_.Port() == "80" ? url_.Host() : url_.Host() + ":" + url_.Port());
  return target;
}

void CustomHttpClient::ConnectToHost() {
  const int32_t port = ParseInt32(url_.Port()).value_or(0);
  if (!EqualsNoCase(url_.Host(), Host()) || port != Port()) {
    if (IsConnected()) CloseConnection();
    TcpClient::SetHost(url_.Host());
    TcpClient::SetPort(port);
  }
  // This client carries no TLS handler, so every https URL is refused before anything is sent.
  if (EqualsNoCase(url_.Protocol(), "https")) throw IoHandlerPropInvalidError();

  if (!response_.KeepAlive()) CloseConnection();
  if (IsConnected()) PollForClose(false);
  if (!IsConnected()) OpenConnection(ReadTimeout());
}

void CustomHttpClient::SendRequestHead(const std::string& target) {
  request_.SetHeaders();
  if (allow_cookies_ && cookie_manager_ != nullptr) {
    const std::string cookies = cookie_manager_->GenerateCookieList(url_, false);
    if (!cookies.empty()) request_.RawHeaders().SetValue("Cookie", cookies);
  }

  const char* version = protocol_version_ == HttpProtocolVersion::pv1_0 ? "1.0" : "1.1";
  StartWriteBuffering(-1);
  try {
    WriteLine(std::string(MethodName(request_.Method())) + " " + target + " HTTP/" + version);
    for (const std::string& line : request_.RawHeaders().Lines()) {
      if (!line.empty()) WriteLine(line);
    }
    WriteLine("");
  } catch (...) {
    try {
      EndWriteBuffering();
    } catch (...) {
    }
    throw;
  }
  EndWriteBuffering();
}

void CustomHttpClient::ReadResponseHead() {
  do {
    std::string status_line = ReadLine();
    response_.Clear();
    response_.SetResponseText(std::move(status_line));
    ReadHeaderBlock();
    response_.ProcessHeaders();
    StoreCookies();
  } while (ResponseCode() == 100);
}

void CustomHttpClient::ReadHeaderBlock() {
  int32_t line_count = 0;
  size_t block_bytes = 0;
  while (true) {
    std::string line;
    try {
      line = ReadLine();
    } catch (const net::ConnClosedGracefullyError&) {
      // The peer ended the head early; what arrived is all the head there is.
      CloseConnection();
      break;
    }
    if (line.empty()) break;
    if (++line_count > kMaxHeaderLineCount) {
      throw HeaderBlockTooLargeError("The response has more than " +
                                     std::to_string(kMaxHeaderLineCount) + " header lines.");
    }
    block_bytes += line.size();
    if (block_bytes > kMaxHeaderBlockBytes) {
      throw HeaderBlockTooLargeError("The response header block exceeds " +
                                     std::to_string(kMaxHeaderBlockBytes) + " bytes.");
    }
    response_.RawHeaders().Add(line);
  }
}

void CustomHttpClient::StoreCookies() {
  if (!allow_cookies_) return;
  if (cookie_manager_ == nullptr) {
    own_cookie_manager_ = std::make_unique<CookieManager>();
    cookie_manager_ = own_cookie_manager_.get();
  }
  std::vector<std::string> values;
  response_.RawHeaders().ExtractValues("Set-cookie", values);
  for (const std::string& value : values) cookie_manager_->AddCookie(value, url_.Host());
  values.clear();
  response_.RawHeaders().ExtractValues("Set-cookie2", values);
  for (const std::string& value : values) cookie_manager_->AddCookie2(value, url_.Host());
}

CustomHttpClient::Outcome CustomHttpClient::ProcessResponse() {
  const int32_t code = ResponseCode();
  const int32_t code_class = code / 100;
  if ((code_class == 3 && code != 304) || !response_.Location().empty()) return HandleRedirect();
  // Without credential handlers, 401 and 407 fail like every other status.
  if (code_class != 2) FailWithStatus();

  if (!IsConnected()) return Outcome::kUndefined;
  if (!HasNoBody() && response_.ContentStream() != nullptr) ReadBody(*response_.ContentStream());
  return Outcome::kDone;
}

CustomHttpClient::Outcome CustomHttpClient::HandleRedirect() {
  std::string location = response_.Location();
  HttpMethod method = request_.Method();
  const bool follow = handle_redirects_ && redirect_count_ < redirect_maximum_;
  bool handled = follow || handle_redirects_;
  if (OnRedirect) OnRedirect(*this, location, method, handled, redirect_count_);
  if (!handled) FailWithStatus();

  ReadSpareBody(kRedirectBodyTimeout, 0);
  if (!follow) return Outcome::kDone;
  request_.SetURL(location);
  request_.SetMethod(method);
  return Outcome::kFollow;
}

void CustomHttpClient::FailWithStatus() {
  const std::string body = ReadSpareBody(kErrorBodyTimeout, kMaxErrorBodyBytes);
  throw HttpProtocolError(ResponseCode(), ResponseText(), body);
}

bool CustomHttpClient::HasNoBody() const {
  const int32_t code = response_.ResponseCode();
  return request_.Method() == HttpMethod::hmHead || code == 204 || code == 304 ||
         (code >= 100 && code < 200);
}

std::string CustomHttpClient::ReadSpareBody(int32_t timeout, int64_t keep) {
  BoundedTextStream body(keep);
  if (HasNoBody() || !IsConnected()) return body.Text();
  try {
    TimeoutGuard guard(*this, timeout);
    ReadBody(body);
  } catch (...) {
    CloseConnection();
  }
  return body.Text();
}

void CustomHttpClient::ReadBody(net::Stream& stream) {
  // Chunked framing wins over a length, so a response carrying both cannot make us read the
  // chunk lines as body bytes.
  if (response_.RawHeaders().Value("Transfer-Encoding").find("chunked") != std::string::npos) {
    ReportStatus(net::NetStatus::hsStatusText, "Chunk Started");
    ReadChunkedBody(stream);
  } else if (response_.ContentLength() >= 1) {
    // A body that ends short because the peer closed is not the body that was announced. One
    // that a work handler cut by closing the connection (the stop button) returns normally:
    // its caller knows it asked for the stop.
    const int64_t before = stream.Position();
    close_requested_ = false;
    bool peer_closed = false;
    try {
      ReadToStream(stream, response_.ContentLength(), false);
    } catch (const net::ConnClosedGracefullyError&) {
      peer_closed = true;
    }
    const int64_t received = stream.Position() - before;
    if (peer_closed || (received < response_.ContentLength() && !close_requested_)) {
      throw IncompleteBodyError("Connection closed after " + std::to_string(received) + " of " +
                                std::to_string(response_.ContentLength()) + " body bytes.");
    }
  } else if (!response_.HasContentLength()) {
    ReadToStream(stream, -1, true);
  }
}

void CustomHttpClient::ReadChunkedBody(net::Stream& stream) {
  while (true) {
    const std::string line = ReadLine();
    const auto size = ParseChunkSize(line);
    if (!size) {
      if (line.empty() && !IsConnected()) {
        throw IncompleteBodyError("Connection closed before the last chunk.");
      }
      throw ChunkSizeError("Invalid chunk size line: \"" + line.substr(0, 64) + "\"");
    }
    if (*size == 0) break;
    try {
      ReadToStream(stream, *size, false);
    } catch (const net::ConnClosedGracefullyError&) {
      throw IncompleteBodyError("Connection closed in the middle of a chunk.");
    }
    ReadLine();
  }
  // Trailer lines up to the empty line end the body; left unread they would be taken for the
  // next response.
  // A peer that closes right after the last chunk has still sent the whole body.
  try {
    int32_t trailer_lines = 0;
    while (!ReadLine().empty()) {
      if (++trailer_lines > kMaxHeaderLineCount) {
        throw HeaderBlockTooLargeError("The chunked body has more than " +
                                       std::to_string(kMaxHeaderLineCount) + " trailer lines.");
      }
    }
  } catch (const net::ConnClosedGracefullyError&) {
  }
}

}  // namespace mevra::http
