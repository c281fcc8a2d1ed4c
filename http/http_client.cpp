#include "http/http_client.h"

#include "net/stream.h"

namespace mevra::http {

void HttpClient::Get(const std::string& url, net::Stream& stream) {
  DoRequest(HttpMethod::hmGet, url, nullptr, &stream);
}

std::string HttpClient::Get(const std::string& url) {
  net::MemoryStream stream;
  Get(url, stream);
  return stream.TakeData();
}

}  // namespace mevra::http
