#pragma once

#include <QString>
#include <QStringList>

namespace mevra::app {

// Where the program finds the music portal, its sign-in service and the maker's site. Read from
// the "Endpoints" section of config.ini (never written); the defaults are the bundled demo portal
// on the loopback interface.
struct Endpoints {
  QString portal_home_url = QStringLiteral("http://127.0.0.1:18080/");
  QString portal_host = QStringLiteral("127.0.0.1:18080");
  QString login_host = QStringLiteral("127.0.0.1:18081");
  QString login_base_url = QStringLiteral("http://127.0.0.1:18081");
  QString music_base_url = QStringLiteral("http://127.0.0.1:18082");
  QString update_stamp_url = QStringLiteral("http://127.0.0.1:18083/mevramp3.txt");
  QString release_page_url = QStringLiteral("http://127.0.0.1:18083/archives/41672/");
  QString author_site_url = QStringLiteral("http://127.0.0.1:18083/");
  QString microblog_url = QStringLiteral("http://127.0.0.1:18083/weibo/pelko");
  // An extra bundle of trusted certificates (PEM) for https endpoints whose server certificates
  // no public authority issued, such as the demo portal's own CA; empty for none. A relative
  // path is taken from config.ini's folder. The program's HTTP clients trust it besides the
  // system's authorities, and the browsers accept a certificate it issued.
  QString ca_file;

  // Each key that the file holds replaces its default, trimmed; a missing file changes nothing.
  // The endpoints may be https URLs.
  static Endpoints Load(const QString& config_path);

  // The hosts of every endpoint, without ports (IPv6 addresses without brackets): the hosts for
  // which the browsers accept a certificate that CaFile vouches for, and no others.
  QStringList Hosts() const;

  QString NewSongsChartUrl() const;
  // The sign-in page, which sends the browser on to the new-songs chart afterwards.
  QString LoginUrl() const;
};

}  // namespace mevra::app
