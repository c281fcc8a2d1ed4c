#include "http/http_request.h"

namespace mevra::http {

const char* MethodName(HttpMethod method) {
  switch (method) {
    case HttpMethod::hmHead:
      return "HEAD";
    case HttpMethod::hmGet:
      return "GET";
    case HttpMethod::hmPost:
      return "POST";
    case HttpMethod::hmOptions:
      return "OPTIONS";
    case HttpMethod::hmTrace:
      return "TRACE";
    case HttpMethod::hmPut:
      return "PUT";
    case HttpMethod::hmDelete:
      return "DELETE";
    case HttpMethod::hmConnect:
      return "CONNECT";
  }
  return "GET";
}

}  // namespace mevra::http
