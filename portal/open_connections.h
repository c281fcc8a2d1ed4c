#pragma once

namespace mevra::portal {

// Shuts down (both directions) every connected TCP socket this process holds. The portal opens
// no connections of its own, so these are the clients' connections: a worker waiting for the
// next request on a kept-alive connection then wakes at once instead of after its idle
// timeout, and stopping takes no longer than the requests in flight.
void HangUpOpenConnections();

}  // namespace mevra::portal
