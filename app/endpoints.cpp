#include "app/endpoints.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/profile_file.h"
#include "app/text_trim.h"

namespace mevra::app {

Endpoints Endpoints::Load(const QString& config_path) {
  Endpoints endpoints;
  const std::string path = config_path.toStdString();
  auto read = [&path](const char* key, QString& value) {
    const std::string text = ProfileFile::ReadString(path, "Endpoints", key, value.toStdString());
    value = TrimText(QString::fromStdString(text));
  };
  read("PortalHomeUrl", endpoints.portal_home_url);
  read("PortalHost", endpoints.portal_host);
  read("LoginHost", endpoints.login_host);
  read("LoginBaseUrl", endpoints.login_base_url);
  read("MusicBaseUrl", endpoints.music_base_url);
  read("UpdateStampUrl", endpoints.update_stamp_url);
  read("ReleasePageUrl", endpoints.release_page_url);
  read("AuthorSiteUrl", endpoints.author_site_url);
  read("MicroblogUrl", endpoints.microblog_url);
  read("CaFile", endpoints.ca_file);
  if (!endpoints.ca_file.isEmpty() && QFileInfo(endpoints.ca_file).isRelative()) {
    endpoints.ca_file = QFileInfo(config_path).dir().filePath(endpoints.ca_file);
  }
  return endpoints;
}

QStringList Endpoints::Hosts() const {
  QStringList hosts;
  auto add = [&hosts](const QString& url) {
    const QString host = QUrl(url).host();
    if (!host.isEmpty() && !hosts.contains(host)) hosts.append(host);
  };
  for (const QString* url : {&portal_home_url, &login_base_url, &music_base_url, &update_stamp_url,
                             &release_page_url, &author_site_url, &microblog_url}) {
    add(*url);
  }
  // These two name a host and a port, as a Host header does.
  add(QStringLiteral("http://") + portal_host);
  add(QStringLiteral("http://") + login_host);
  return hosts;
}

QString Endpoints::NewSongsChartUrl() const { return music_base_url + QStringLiteral("/top/new"); }

QString Endpoints::LoginUrl() const {
  // Everything but the unreserved characters is encoded, so ":" becomes %3A and "/" %2F.
  const QByteArray back = QUrl::toPercentEncoding(NewSongsChartUrl() + QStringLiteral("/"));
  return login_base_url + QStringLiteral("/v2/?login&tpl=mn&u=") + QString::fromLatin1(back);
}

}  // namespace mevra::app
