#include "net/tcp_connection.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <arpa/inet.h>

#include "net/anti_freeze_base.h"
#include "net/net_error.h"
#include "net/net_stack.h"
#include "net/socket_io_handler.h"

namespace mevra::net {

namespace {
// Receive errors that mean the socket was already closed; bytes still queued stay readable.
constexpr int32_t kShutDown = 10058;
constexpr int32_t kAborted = 10053;
constexpr int32_t kReset = 10054;
}  // namespace

TcpConnection::TcpConnection() {
  input_buffer_.ConsumeHook = [this](int64_t count) { ReportWork(WorkMode::wmRead, count); };
}

TcpConnection::~TcpConnection() { DropSocket(); }

void TcpConnection::SetIOHandler(std::shared_ptr<IoHandler> handler) {
  if (owns_io_handler_) io_handler_.reset();
  owns_io_handler_ = false;
  io_handler_ = std::move(handler);
}

std::shared_ptr<IoHandler> TcpConnection::NewIoHandler() {
  return std::make_shared<SocketIoHandler>();
}

void TcpConnection::SetAbortLatch(std::shared_ptr<AbortLatch> latch) {
  abort_latch_ = std::move(latch);
  if (owns_io_handler_) {
    if (auto* handler = dynamic_cast<SocketIoHandler*>(io_handler_.get())) {
      handler->SetAbortLatch(abort_latch_);
    }
  }
}

void TcpConnection::CreateOwnedIoHandler() {
  std::shared_ptr<IoHandler> handler = NewIoHandler();
  handler->OnStatus = OnStatus;
  // Socket handlers of every kind (TLS ones too) take the latch.
  if (auto* socket_handler = dynamic_cast<SocketIoHandler*>(handler.get())) {
    socket_handler->SetAbortLatch(abort_latch_);
  }
  io_handler_ = std::move(handler);
  owns_io_handler_ = true;
}

void TcpConnection::NotifyDisconnected() {
  if (OnDisconnected) OnDisconnected(*this);
}

void TcpConnection::ResetReadState() {
  input_buffer_.Empty();
  peer_closed_ = false;
}

void TcpConnection::CheckDisconnected(bool raise_if_disconnected, bool ignore_buffer) {
  bool disconnected = false;
  if (peer_closed_ || !io_handler_) {
    // Without a handler (released by CloseConnection) this is not the place that tells.
    if (io_handler_) {
      if (io_handler_->HasOpenSocket()) {
        DropSocket();
        ReportStatus(NetStatus::hsDisconnected);
        NotifyDisconnected();
      }
      disconnected = true;
    }
  } else {
    disconnected = !io_handler_->HasOpenSocket();
  }
  // Bytes that arrived before the close stay readable; only a read they cannot serve raises.
  if (disconnected && raise_if_disconnected && (input_buffer_.Size() == 0 || ignore_buffer)) {
    throw ConnClosedGracefullyError();
  }
}

bool TcpConnection::IsConnected() {
  CheckDisconnected(false, false);
  return io_handler_ && io_handler_->HasOpenSocket();
}

void TcpConnection::PollForClose(bool raise_if_closed) {
  FillInputBuffer(raise_if_closed, kPollForCloseTimeOut, false);
}

void TcpConnection::CloseConnection() {
  ReportStatus(NetStatus::hsDisconnecting);
  DropSocket();
  if (owns_io_handler_) {
    io_handler_.reset();
    owns_io_handler_ = false;
  }
  NotifyDisconnected();
  ReportStatus(NetStatus::hsDisconnected);
}

void TcpConnection::DropSocket() {
  if (!io_handler_) return;
  peer_closed_ = true;
  io_handler_->CloseBinding();
}

int32_t TcpConnection::FillInputBuffer(bool raise_if_disconnected, int32_t timeout,
                                       bool raise_on_timeout) {
  if (timeout == -1) timeout = read_timeout_ <= 0 ? NetStack::kNoTimeLimit : read_timeout_;
  int32_t result = 0;
  CheckDisconnected(raise_if_disconnected, false);
  if (!IsConnected()) {
    if (raise_if_disconnected) throw NotConnectedError();
    return result;
  }
  int32_t n = 0;
  do {
    // A pump may run a handler that closes or destroys this connection: the local reference
    // keeps the handler alive, and the token tells whether `this` still exists.
    const std::shared_ptr<IoHandler> handler = io_handler_;
    const std::weak_ptr<void> life = LifeToken();
    // Bytes that are there already are taken without a wait, so a transfer that keeps the
    // socket full costs one call per block; only a receive that found nothing waits. Without an
    // anti-freeze in force and without a time limit that wait would be a single one for as long
    // as it takes, so the receive itself waits instead.
    const bool wait_in_receive =
        timeout == NetStack::kNoTimeLimit && !AntiFreezeBase::AntiFreezeInForce();
    n = ReceiveIntoInputBuffer(*handler, wait_in_receive);
    if (n != IoHandler::kNothingYet) {
      // The pump that a wait which found data runs, after the receive instead of before it;
      // should its handler close or destroy this connection, the read ends as that wait does.
      AntiFreezeBase::Pump(false, false);
      if (life.expired()) throw NotConnectedError();
      if (!handler->HasOpenSocket()) throw ConnClosedGracefullyError();
    } else {
      bool ready = false;
      try {
        ready = handler->WaitReadable(timeout);
      } catch (...) {
        if (life.expired()) throw NotConnectedError();
        throw;
      }
      if (life.expired()) throw NotConnectedError();
      if (!ready) {
        if (raise_on_timeout) throw ReadTimeoutError();
        return -1;
      }
      if (io_handler_) {
        n = ReceiveIntoInputBuffer(*io_handler_, true);
      } else {
        n = 0;
        if (raise_if_disconnected) throw NotConnectedError();
      }
    }
    peer_closed_ = (n == 0);
    if (n != 0) {
      NetStack& stack = *NetStack::SocketStack();
      if (stack.CheckSocketResult(n, {kShutDown, kAborted})) {
        n = 0;
        const int32_t code = stack.LastErrorCode();
        DropSocket();
        if (input_buffer_.Size() == 0) NetStack::RaiseSocketFailure(code);
      }
    }
    CheckDisconnected(raise_if_disconnected, false);
    result = n;
  } while (n == 0 && IsConnected());
  return result;
}

int32_t TcpConnection::ReceiveIntoInputBuffer(IoHandler& handler, bool wait) {
  // Received straight into the free end of the input queue.
  // A size below one byte would read as the peer's close.
  const int32_t size = std::max(recv_buffer_size_, 1);
  char* target = input_buffer_.PrepareAppend(size);
  int32_t n = 0;
  try {
    n = wait ? handler.ReceiveBytes(target, size) : handler.ReceiveAvailable(target, size);
  } catch (...) {
    input_buffer_.CommitAppend(0);
    throw;
  }
  input_buffer_.CommitAppend(n > 0 ? n : 0);
  return n;
}

std::string TcpConnection::ReadLine(const std::string& terminator, int32_t max_length) {
  if (max_length == -1) max_length = max_line_length_;
  const std::string term = terminator.empty() ? std::string("\n") : terminator;
  int64_t found = 0;  // 1-based position of the terminator, 0 while not found
  int64_t scanned = 0;
  const auto over_long = [&]() -> std::string {
    if (max_line_action_ == MaxLineAction::maException) throw MaxLineLengthExceededError();
    return input_buffer_.TakeText(max_length);
  };
  do {
    const int64_t size = input_buffer_.Size();
    if (size > 0) {
      // Only bytes not searched before, plus enough overlap for a terminator split between two
      // receives.
      const int64_t from = std::max<int64_t>(0, scanned - static_cast<int64_t>(term.size()) + 1);
      const size_t at = input_buffer_.View().find(term, static_cast<size_t>(from));
      if (at != std::string_view::npos) found = static_cast<int64_t>(at) + 1;
      scanned = size;
    }
    if (max_length != 0 && found - 1 > max_length) return over_long();
    if (found == 0) {
      if (max_length != 0 && scanned > max_length) return over_long();
      CheckDisconnected(true, true);
      // The peer closed with an unterminated rest buffered: it stays for the next read, which
      // then raises.
      if (FillInputBuffer(true, -1, true) == 0) return std::string();
    }
  } while (found == 0);

  std::string line = input_buffer_.TakeText(found + static_cast<int64_t>(term.size()) - 1);
  line.resize(line.size() - term.size());
  if (term == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TcpConnection::FillAtLeast(int64_t count) {
  while (input_buffer_.Size() < count) {
    // A connection already known closed says so, rather than "Not Connected".
    CheckDisconnected(true, true);
    FillInputBuffer(true, -1, true);
    CheckDisconnected(true, true);
  }
}

void TcpConnection::ReadExact(void* buffer, int32_t count) {
  if (count <= 0) return;
  FillAtLeast(count);
  std::memcpy(buffer, input_buffer_.Data(), static_cast<size_t>(count));
  input_buffer_.Consume(count);
}

std::string TcpConnection::ReadExact(int32_t count) {
  std::string bytes(static_cast<size_t>(std::max(count, 0)), '\0');
  ReadExact(bytes.data(), count);
  return bytes;
}

int32_t TcpConnection::ReadInt32(bool convert) {
  uint32_t value = 0;
  ReadExact(&value, 4);
  return static_cast<int32_t>(convert ? ntohl(value) : value);
}

void TcpConnection::ReadToStream(Stream& stream, int64_t byte_count, bool until_close) {
  if (byte_count == -1 && !until_close) byte_count = ReadInt32(true);
  if (byte_count >= 0) {
    // The declared length is allocated at once only up to a sane size; beyond that the stream
    // grows as the bytes actually arrive.
    const int64_t position = stream.Position();
    stream.SetSize(position + std::min(byte_count, kMaxPreallocation));
    if (stream.Position() != position) stream.Seek(position);
  }
  int64_t remaining;
  if (until_close) {
    // No cap: the close is the body's end, and stopping short of it would hand the rest to the
    // next reader as if it were new. Work counts saturate instead.
    remaining = std::numeric_limits<int64_t>::max();
    StartWork(WorkMode::wmRead, 0);
  } else {
    remaining = std::max<int64_t>(byte_count, 0);
    StartWork(WorkMode::wmRead, remaining);
  }

  const std::weak_ptr<void> life = LifeToken();
  const auto finish = [&] {
    struct Cut {
      Stream& stream;
      ~Cut() {
        if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
      }
    } cut{stream};
    FinishWork(WorkMode::wmRead);
  };
  try {
    const int64_t buffered = std::min(input_buffer_.Size(), remaining);
    if (buffered > 0) {
      stream.Write(input_buffer_.Data(), buffered);
      input_buffer_.Consume(buffered);
      remaining -= buffered;
    }
    const int64_t block_size = std::min<int64_t>(remaining, std::max(recv_buffer_size_, 1));
    while (remaining > 0 && IsConnected()) {
      int64_t n = std::min(remaining, block_size);
      try {
        FillAtLeast(n);
      } catch (const ConnClosedGracefullyError&) {
        if (!until_close) throw;
        // The close ends a body read until close; its last partial block counts no work.
        n = input_buffer_.Size();
        stream.Write(input_buffer_.Data(), n);
        input_buffer_.Empty();
        remaining -= n;
        continue;
      }
      // Written before the consumption reports it, so a raising OnWork handler leaves the
      // block in the stream, and one that closes the connection leaves a short stream.
      stream.Write(input_buffer_.Data(), n);
      input_buffer_.Consume(n);
      remaining -= n;
    }
  } catch (...) {
    if (!life.expired()) finish();
    throw;
  }
  finish();
}

void TcpConnection::WriteBytes(const void* buffer, int32_t count, bool immediately) {
  if (count <= 0) return;
  CheckDisconnected(true, true);
  if (!IsConnected()) throw NotConnectedError();
  if (pending_writes_ && !immediately) {
    pending_writes_->Append(buffer, count);
    if (flush_threshold_ > 0 && pending_writes_->Size() >= flush_threshold_) {
      FlushWrites(flush_threshold_);
    }
    return;
  }

  // A copy, because a pumped handler may change whatever the caller's bytes live in.
  const std::string bytes(static_cast<const char*>(buffer), static_cast<size_t>(count));
  const std::weak_ptr<void> life = LifeToken();
  int32_t offset = 0;
  while (offset < count) {
    const std::shared_ptr<IoHandler> handler = io_handler_;
    if (!handler) throw NotConnectedError();
    const int32_t sent = handler->SendBytes(bytes.data() + offset, count - offset);
    // The code is taken before the pump, which may make socket calls of its own.
    int32_t error_code = 0;
    if (sent == NetStack::kSocketError) {
      try {
        NetStack::SocketStack()->CheckSocketResult(sent);
      } catch (const SocketError& error) {
        error_code = error.ErrorCode();
      }
    }
    AntiFreezeBase::Pump(false, false);
    if (life.expired()) throw NotConnectedError();
    peer_closed_ = (sent == 0);
    CheckDisconnected(true, false);
    if (sent == NetStack::kSocketError) {
      if (error_code == kShutDown || error_code == kAborted || error_code == kReset) DropSocket();
      NetStack::RaiseSocketFailure(error_code);
    }
    ReportWork(WorkMode::wmWrite, sent);
    offset += sent;
  }
}

void TcpConnection::WriteText(const std::string& text) {
  if (!text.empty()) WriteBytes(text.data(), static_cast<int32_t>(text.size()), false);
}

void TcpConnection::WriteLine(const std::string& text) { WriteText(text + "\r\n"); }

void TcpConnection::WriteFromStream(Stream& stream, bool whole_stream, int64_t size,
                                    bool write_byte_count) {
  if (whole_stream) {
    stream.Seek(0);
    size = stream.Size();
  } else if (size < 0) {
    size = stream.Size() - stream.Position();
  }
  if (write_byte_count) {
    const uint32_t count = htonl(static_cast<uint32_t>(size));
    WriteBytes(&count, 4);
  }
  StartWork(WorkMode::wmWrite, size);
  const std::weak_ptr<void> life = LifeToken();
  try {
    std::string block;
    while (size > 0) {
      block.resize(static_cast<size_t>(std::min<int64_t>(size, std::max(send_buffer_size_, 1))));
      const int64_t got = stream.Read(block.data(), static_cast<int64_t>(block.size()));
      if (got <= 0) throw NoDataToReadError();
      WriteBytes(block.data(), static_cast<int32_t>(got));
      size -= got;
    }
  } catch (...) {
    if (!life.expired()) FinishWork(WorkMode::wmWrite);
    throw;
  }
  FinishWork(WorkMode::wmWrite);
}

void TcpConnection::StartWriteBuffering(int32_t threshold) {
  if (!pending_writes_) pending_writes_ = std::make_unique<SimpleBuffer>();
  flush_threshold_ = threshold;
}

void TcpConnection::EndWriteBuffering() {
  const std::weak_ptr<void> life = LifeToken();
  try {
    FlushWrites(-1);
  } catch (...) {
    if (!life.expired()) pending_writes_.reset();
    throw;
  }
  pending_writes_.reset();
}

void TcpConnection::FlushWrites(int32_t count) {
  if (!pending_writes_ || pending_writes_->Size() == 0) return;
  // The bytes leave the collection before they are sent: a handler run by the send's pump may
  // write again, and must not find them still there.
  std::string bytes;
  if (count == -1 || count >= pending_writes_->Size()) {
    bytes.assign(pending_writes_->View());
    pending_writes_->Empty();
  } else {
    bytes = pending_writes_->TakeText(std::max(count, 0));
  }
  WriteBytes(bytes.data(), static_cast<int32_t>(bytes.size()), true);
}

}  // namespace mevra::net
