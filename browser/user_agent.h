#pragma once

#include <QString>

namespace mevra::browser {

// The user-agent token both browsers announce, before the About text is appended.
inline constexpr char kDefaultUserAgent[] =
    "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0; BOIE9;ZHCN)";

// The host's credit, appended to the token; the leading blank separates it from the token.
inline constexpr char kAboutText[] = " Browser Host from: http://mevra.example/";

// The token as the host announces it: unchanged when it already is the About text, otherwise
// with the About text appended (an empty token thus becomes the About text).
QString AppendAbout(const QString& user_agent, const QString& about);

// The header the engine sends: its own user agent with the host's token as one more product.
QString EngineUserAgent(const QString& engine_default, const QString& token);

}  // namespace mevra::browser
