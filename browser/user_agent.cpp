#include "browser/user_agent.h"

namespace mevra::browser {

QString AppendAbout(const QString& user_agent, const QString& about) {
  return user_agent == about ? user_agent : user_agent + about;
}

QString EngineUserAgent(const QString& engine_default, const QString& token) {
  return engine_default + QLatin1Char(' ') + token;
}

}  // namespace mevra::browser
