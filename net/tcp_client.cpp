#include "net/tcp_client.h"

#include "net/net_error.h"

namespace mevra::net {

void TcpClient::NotifyConnected() {
  if (OnConnected) OnConnected(*this);
}

void TcpClient::OpenConnection(int32_t timeout) {
  if (!IOHandler()) {
    CreateOwnedIoHandler();
  } else if (IOHandler()->HasOpenSocket()) {
    throw AlreadyConnectedError();
  }
  // The connect pumps messages; a pumped handler may close or destroy this connection, so the
  // handler and the arguments are held locally and the token tells whether `this` survived.
  const std::shared_ptr<IoHandler> handler = IOHandler();
  const std::weak_ptr<void> life = LifeToken();
  const std::string host = host_;
  const std::string bound_ip = bound_ip_;
  try {
    handler->PrepareBinding();
    ResetReadState();
    handler->EstablishClient(host, port_, timeout, 0, 0, bound_port_, bound_ip);
    if (life.expired()) throw NotConnectedError();
    if (IOHandler() != handler || !handler->HasOpenSocket()) throw NotConnectedError();
    ReportStatus(NetStatus::hsConnected, host);
    NotifyConnected();
  } catch (...) {
    if (life.expired()) throw NotConnectedError();
    // A failed open keeps the handler for the next attempt, with its socket closed.
    DropSocket();
    throw;
  }
}

}  // namespace mevra::net
