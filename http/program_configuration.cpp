#include "http/program_configuration.h"

#include "http/http_client.h"

namespace mevra::http {

void ApplyProgramConfiguration(HttpClient& client) {
  client.SetProtocolVersion(HttpProtocolVersion::pv1_1);
  client.SetHandleRedirects(true);
  client.SetRedirectMaximum(kRedirectMaximum);
  client.SetAuthRetries(kAuthRetries);
  client.SetAllowCookies(true);
  client.SetHTTPOptions({HttpOption::hoForceEncodeParams});
  client.SetReadTimeout(0);
  client.SetMaxLineAction(net::MaxLineAction::maException);

  HttpRequest& request = client.Request();
  request.SetAccept("text/html, */*");
  request.SetContentType("text/html");
  request.SetUserAgent("Mozilla/3.0 (compatible; Mevra HTTP Library)");
  request.SetBasicAuthentication(false);
  request.SetContentLength(-1);
  request.SetContentRangeStart(0);
  request.SetContentRangeEnd(0);
}

}  // namespace mevra::http
