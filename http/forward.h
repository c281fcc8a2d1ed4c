#pragma once

// Forward declarations of the HTTP client's classes.
namespace mevra::http {
class BoundedTextStream;
class CookieCollection;
class CookieList;
class CookieManager;
class CookieRfc2109;
class CookieRfc2965;
class CustomHttpClient;
class EntityHeaderInfo;
class HeaderList;
class HttpClient;
class HttpProtocolError;
class HttpRequest;
class HttpResponse;
class NetscapeCookie;
class RequestHeaderInfo;
class ResponseHeaderInfo;
class Uri;
enum class HttpMethod;
enum class HttpOption;
enum class HttpProtocolVersion;
}  // namespace mevra::http
