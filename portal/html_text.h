#pragma once

#include <string>
#include <string_view>

namespace mevra::portal {

// Escapes &, <, > and " for HTML text and double-quoted attribute values. Apostrophes stay as
// they are: song items quote their values with them, and the page must carry them literally.
std::string HtmlEscape(std::string_view text);

// A JSON string literal (with its quotes) that is also safe inside a <script> element: "<", ">"
// and "&" are written as \u escapes so no text can close the element.
std::string ScriptJsonString(std::string_view text);

// Percent-encodes everything but unreserved characters, for a value inside a query.
std::string PercentEncode(std::string_view text);

// A complete UTF-8 HTML page around `body`.
std::string HtmlPage(std::string_view title, std::string_view body);

}  // namespace mevra::portal
