#pragma once

#include <filesystem>
#include <vector>

#include "portal/link_signer.h"
#include "portal/portal_options.h"
#include "portal/portal_urls.h"
#include "portal/request_counter.h"
#include "portal/session_store.h"
#include "portal/shutdown_flag.h"
#include "portal/song.h"

namespace mevra::portal {

// What the four hosts share: one process, one set of sessions, one signing key.
struct PortalState {
  PortalOptions options;
  std::filesystem::path data_dir;
  PortalUrls urls;
  SessionStore sessions;
  LinkSigner signer;
  ShutdownFlag shutdown;
  // Requests of the songs whose faults pass, by song id.
  RequestCounter flaky_requests;
  // The songs of the big chart, in its order; empty without --big-chart.
  std::vector<Song> big_chart_songs;
};

}  // namespace mevra::portal
