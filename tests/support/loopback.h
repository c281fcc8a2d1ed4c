#pragma once

namespace mevra::test {

// A listening socket on 127.0.0.1 at an ephemeral port; throws std::runtime_error on failure.
int ListenOnLoopback(int backlog, int& port);

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

// Threads of this process right now.
int ThreadCount();

}  // namespace mevra::test
