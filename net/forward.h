#pragma once

// Forward declarations of the transport's classes.
namespace mevra::net {
class AbortLatch;
class AntiFreezeBase;
class ConnectThread;
class IoHandler;
class ManagedBuffer;
class MemoryStream;
class FileStream;
class NetComponent;
class NetError;
class NetStack;
class SimpleBuffer;
class SocketHandle;
class SocketIoHandler;
class Stream;
class TcpClient;
class TcpConnection;
class TlsContext;
class TlsIoHandler;
enum class MaxLineAction;
enum class NetStatus;
enum class WorkMode;
}  // namespace mevra::net
