#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/abort_latch.h"
#include "net/io_handler.h"
#include "net/limits.h"
#include "net/managed_buffer.h"
#include "net/net_component.h"
#include "net/simple_buffer.h"
#include "net/stream.h"

namespace mevra::net {

enum class MaxLineAction { maException, maSplit };

// A blocking TCP connection with a receive queue: line and block reads into streams with work
// events, collected writes, noticing the peer's close. Every wait lets the anti-freeze pump
// messages. An OnWork handler may call CloseConnection: the running read ends after its block
// without an exception. A pump-run handler may close or even destroy the connection while it
// waits; the wait then ends with an exception and touches nothing of the connection.
class TcpConnection : public NetComponent {
 public:
  TcpConnection();
  ~TcpConnection() override;

  // Properties.
  bool PeerClosed() const { return peer_closed_; }
  int32_t ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int32_t ms) { read_timeout_ = ms; }
  int32_t MaxLineLength() const { return max_line_length_; }
  void SetMaxLineLength(int32_t value) { max_line_length_ = value; }
  ::mevra::net::MaxLineAction MaxLineAction() const { return max_line_action_; }
  void SetMaxLineAction(::mevra::net::MaxLineAction value) { max_line_action_ = value; }
  int32_t RecvBufferSize() const { return recv_buffer_size_; }
  void SetRecvBufferSize(int32_t value) { recv_buffer_size_ = value; }
  int32_t SendBufferSize() const { return send_buffer_size_; }
  void SetSendBufferSize(int32_t value) { send_buffer_size_ = value; }
  const std::shared_ptr<IoHandler>& IOHandler() const { return io_handler_; }
  // Releases an owned handler first; a handler given here is not owned.
  void SetIOHandler(std::shared_ptr<IoHandler> handler);
  bool OwnsIOHandler() const { return owns_io_handler_; }
  ManagedBuffer& InputBuffer() { return input_buffer_; }
  const ManagedBuffer& InputBuffer() const { return input_buffer_; }
  bool WriteBuffering() const { return pending_writes_ != nullptr; }
  // The latch through which another thread may end this connection's blocking calls (a wait for
  // data, a receive, a send, a connect), now and for every socket it opens later. Only the
  // connection's own handler honours it; set it before the transfer starts.
  const std::shared_ptr<AbortLatch>& GetAbortLatch() const { return abort_latch_; }
  void SetAbortLatch(std::shared_ptr<AbortLatch> latch);

  NotifyEvent OnDisconnected;

  virtual void NotifyDisconnected();
  // Empties the input queue (no work event) and clears PeerClosed.
  virtual void ResetReadState();
  virtual void CheckDisconnected(bool raise_if_disconnected = true, bool ignore_buffer = false);
  virtual void PollForClose(bool raise_if_closed);
  virtual bool IsConnected();
  // Never raises from this layer; may be repeated.
  virtual void CloseConnection();
  virtual void DropSocket();
  // Bytes received, 0 after the peer's close, -1 after a time-out without raise_on_timeout.
  virtual int32_t FillInputBuffer(bool raise_if_disconnected = true, int32_t timeout = -1,
                                  bool raise_on_timeout = true);
  // Empty terminator = LF; max_length -1 = MaxLineLength, 0 = no limit. With LF, a CR before
  // it is dropped too.
  virtual std::string ReadLine(const std::string& terminator = "\n", int32_t max_length = -1);
  void ReadExact(void* buffer, int32_t count);
  std::string ReadExact(int32_t count);
  // byte_count -1 (and not until_close) reads the count from the wire first as a 32-bit
  // network-order integer.
  void ReadToStream(Stream& stream, int64_t byte_count = -1, bool until_close = false);
  int32_t ReadInt32(bool convert = true);
  void WriteBytes(const void* buffer, int32_t count, bool immediately = false);
  virtual void WriteText(const std::string& text);
  virtual void WriteLine(const std::string& text);
  // Sends a stream from its position (or start) in SendBufferSize blocks, optionally preceded by
  // the count as a network-order 32-bit integer.
  virtual void WriteFromStream(Stream& stream, bool whole_stream = true, int64_t size = -1,
                               bool write_byte_count = false);
  // Collects writes until EndWriteBuffering; a threshold > 0 sends once that much is collected.
  void StartWriteBuffering(int32_t threshold = -1);
  void EndWriteBuffering();
  void FlushWrites(int32_t count = -1);

 protected:
  // Makes the handler owned by this connection (NewIoHandler) and copies OnStatus to it.
  void CreateOwnedIoHandler();
  // The handler OpenConnection creates when none is set: one over a plain socket.
  virtual std::shared_ptr<IoHandler> NewIoHandler();
  // A token that dies with this connection, so a wait can tell it was destroyed under it.
  std::weak_ptr<void> LifeToken() const { return life_; }

 private:
  void FillAtLeast(int64_t count);
  // One receive of RecvBufferSize bytes into the input queue: ReceiveBytes when `wait`, else
  // ReceiveAvailable. Returns the handler's result.
  int32_t ReceiveIntoInputBuffer(IoHandler& handler, bool wait);

  bool peer_closed_ = false;
  bool owns_io_handler_ = false;
  ManagedBuffer input_buffer_;
  std::shared_ptr<IoHandler> io_handler_;
  ::mevra::net::MaxLineAction max_line_action_ = MaxLineAction::maException;
  int32_t max_line_length_ = kMaxLineLength;
  int32_t read_timeout_ = 0;
  int32_t recv_buffer_size_ = kRecvBufferSize;
  int32_t send_buffer_size_ = kSendBufferSize;
  std::unique_ptr<SimpleBuffer> pending_writes_;
  int32_t flush_threshold_ = -1;
  std::shared_ptr<AbortLatch> abort_latch_;
  std::shared_ptr<char> life_ = std::make_shared<char>();
};

}  // namespace mevra::net
