#pragma once

#include <string>

namespace mevra::portal {

// Shuts down (both directions) every connected TCP socket this process holds. The portal opens
// no connections of its own, so these are the clients' connections: a worker waiting for the
// next request on a kept-alive connection then wakes at once instead of after its idle
// timeout, and stopping takes no longer than the requests in flight.
void HangUpOpenConnections();

// Resets the connection from `peer_address`:`peer_port` once the bytes sent on it have reached
// the peer (or a short wait is over), so the peer reads those bytes and then the reset. The
// descriptor stays valid (it refers to nothing) for its owner to close as usual. False when no
// such connection is open.
bool ResetConnection(const std::string& peer_address, int peer_port);

}  // namespace mevra::portal
