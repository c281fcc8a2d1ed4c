#include "http/http_response.h"

#include "http/custom_http_client.h"
#include "http/text_util.h"

namespace mevra::http {

void HttpResponse::SetResponseText(std::string text) {
  response_text_ = std::move(text);
  // "HTTP/1.1 200 OK": the version sits in characters 6 to 8.
  if (response_text_.size() >= 8) {
    const std::string version = response_text_.substr(5, 3);
    if (version == "1.0" || version == "1.1") response_version_ = version;
  }
}

int32_t HttpResponse::ResponseCode() const {
  const size_t blank = response_text_.find(' ');
  if (blank == std::string::npos) return -1;
  std::string rest = Trim(std::string_view(response_text_).substr(blank + 1));
  rest.resize(std::min(rest.size(), rest.find(' ')));
  return ParseInt32(rest).value_or(-1);
}

bool HttpResponse::KeepAlive() {
  if (!client_.IsConnected()) return false;
  // Both headers are lists of options, in any case and on any number of lines.
  const auto says = [this](std::string_view option) {
    for (const char* name : {"Connection", "Proxy-Connection"}) {
      for (const std::string& token : RawHeaders().Tokens(name)) {
        if (EqualsNoCase(token, option)) return true;
      }
    }
    return false;
  };
  if (says("close")) return false;
  // An HTTP/1.0 exchange (our request or the server's answer) closes unless it says otherwise;
  // a 1.0 server that did not promise keep-alive closes right after the body.
  if (client_.ProtocolVersion() == HttpProtocolVersion::pv1_0 || response_version_ == "1.0") {
    return says("keep-alive");
  }
  return true;
}

}  // namespace mevra::http
