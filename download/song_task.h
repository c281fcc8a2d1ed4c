#pragma once

#include <QString>

#include "download/file_naming.h"
#include "http/proxy_rules.h"

namespace mevra::download {

// The small-file filter as the user set it: whether it is on, and the size box's text in
// megabytes as it stands (a text that is no number fails the row when the filter applies).
struct SizeFilter {
  bool enabled = false;
  QString megabytes;
};

// One song to fetch, with every choice that decides where and how it is saved, taken when the
// song's turn comes.
struct SongTask {
  // The caller's handle on the task, handed back with every report about it (the window's row).
  int key = -1;
  QString id;
  QString title;
  QString singer;
  QString rate;  // "128", "192" or "320"
  NamingScheme naming = NamingScheme::kTitleSinger;
  // Under kTemplate: the template, a valid one, and the title of the page the song came from.
  QString name_template;
  QString page;
  QString save_folder;
  SizeFilter filter;
  // When set, the file goes exactly here, replacing what is there, instead of under a name built
  // from the song in the save folder, and no filter applies: the preview's temporary file.
  QString fixed_path;
  // An extra bundle of trusted certificates for an https link, besides the system's; empty for
  // none. One that cannot be loaded fails the transfer with its reason.
  QString ca_file;
  // The proxies the transfer goes through.
  http::ProxyRules proxy;
};

}  // namespace mevra::download
