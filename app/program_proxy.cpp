#include "app/program_proxy.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>
#include <cstdlib>

#include "app/config_settings.h"
#include "app/profile_file.h"
#include "http/custom_http_client.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/proxy_error.h"

namespace mevra::app {

namespace {

ProxyChoice& Chosen() {
  static ProxyChoice choice;
  return choice;
}

}  // namespace

browser::BrowserProxy ProxyChoice::ForBrowser() const {
  using Kind = browser::BrowserProxy::Kind;
  browser::BrowserProxy proxy;
  if (!error.isEmpty()) {
    proxy.kind = Kind::kNone;
    return proxy;
  }
  switch (mode) {
    case Mode::kSystem:
      proxy.kind = Kind::kSystem;
      break;
    case Mode::kNone:
      proxy.kind = Kind::kNone;
      break;
    case Mode::kFixed:
      // The engine resolves names at the SOCKS proxy whichever form is set.
      proxy.kind = fixed.kind == net::ProxyKind::kHttp ? Kind::kHttp : Kind::kSocks5;
      proxy.host = QString::fromStdString(fixed.host);
      proxy.port = fixed.port;
      proxy.username = QString::fromStdString(fixed.username);
      proxy.password = QString::fromStdString(fixed.password);
      break;
  }
  return proxy;
}

ProxyChoice ProxyChoice::Read(const QString& setting, const http::ProxyRules::Lookup& environment) {
  ProxyChoice choice;
  const QString text = setting.trimmed();
  try {
    if (text.isEmpty() || text.compare(QLatin1String("system"), Qt::CaseInsensitive) == 0) {
      choice.mode = Mode::kSystem;
      choice.rules = http::ProxyRules::FromEnvironment(environment);
    } else if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0) {
      choice.mode = Mode::kNone;
    } else {
      choice.mode = Mode::kFixed;
      choice.fixed = net::ParseProxyUrl(text.toStdString());
      // One setting covers every request, the demo portal's on this machine too.
      choice.rules = http::ProxyRules::Fixed(choice.fixed);
    }
  } catch (const net::ProxyUrlError& error) {
    choice.rules = http::ProxyRules();
    choice.error = QString::fromStdString(error.what());
  }
  return choice;
}

ProxyChoice ProxyChoice::Read(const QString& setting) {
  return Read(setting, [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  });
}

ProxyChoice ProxyChoice::FromConfig(const QString& config_path) {
  const IniDocument ini =
      ProfileFile::ReadDocument(config_path.toStdString()).value_or(IniDocument());
  return Read(ConfigSettings::Read(ini, QString()).download.proxy);
}

QString TestProxySetting(const QString& setting, const QString& url, const QString& ca_file,
                         int timeout_ms) {
  const ProxyChoice choice = ProxyChoice::Read(setting);
  if (!choice.error.isEmpty())
    return QCoreApplication::translate("ProgramProxy", "代理设置有误：%1").arg(choice.error);
  http::HttpClient client;
  http::ApplyProgramConfiguration(client);
  client.SetCaFile(QFile::encodeName(ca_file).toStdString());
  client.SetConnectTimeout(timeout_ms);
  client.SetReadTimeout(timeout_ms);
  client.SetProxy(choice.rules);
  const net::ProxyServer used =
      choice.rules.For(QUrl(url).scheme().toStdString(), QUrl(url).host().toStdString());
  try {
    client.Get(url.toStdString());
  } catch (const net::ProxyConnectError& error) {
    return QCoreApplication::translate("ProgramProxy", "无法连接代理服务器：%1")
        .arg(QString::fromStdString(error.what()));
  } catch (const net::ProxyAuthError&) {
    return QCoreApplication::translate("ProgramProxy", "代理服务器不接受用户名或密码。");
  } catch (const net::ProxyRefusedError& error) {
    return QCoreApplication::translate("ProgramProxy", "代理服务器拒绝连接：%1")
        .arg(QString::fromStdString(error.what()));
  } catch (const net::ProxyError& error) {
    return QCoreApplication::translate("ProgramProxy", "代理服务器的回答无法识别：%1")
        .arg(QString::fromStdString(error.what()));
  } catch (const std::exception& error) {
    return QCoreApplication::translate("ProgramProxy", "无法取到门户首页：%1")
        .arg(QString::fromStdString(error.what()));
  }
  if (used.kind == net::ProxyKind::kNone) {
    return QCoreApplication::translate("ProgramProxy", "成功：不经代理取到了门户首页（%1）。")
        .arg(QString::fromStdString(client.ResponseText()));
  }
  return QCoreApplication::translate("ProgramProxy", "成功：经 %1 取到了门户首页（%2）。")
      .arg(QString::fromStdString(used.DisplayText()),
           QString::fromStdString(client.ResponseText()));
}

void ProgramProxy::Set(ProxyChoice choice) { Chosen() = std::move(choice); }

const ProxyChoice& ProgramProxy::Current() { return Chosen(); }

void ProgramProxy::ApplyTo(http::CustomHttpClient& client) { client.SetProxy(Chosen().rules); }

}  // namespace mevra::app
