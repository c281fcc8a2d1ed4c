#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <memory>

#include "app/anti_freeze.h"
#include "net/net_error.h"
#include "net/tcp_client.h"
#include "tests/support/scripted_server.h"

namespace mevra::app {
namespace {

// Handles a chain of posted events: each one posts the next until `length` were handled.
class Chain : public QObject {
 public:
  explicit Chain(int length) : length_(length) {}
  void Begin() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
  int handled = 0;

 protected:
  void customEvent(QEvent*) override {
    if (++handled < length_) Begin();
  }

 private:
  int length_;
};

TEST(AppAntiFreeze, PriorityDrainsTheQueueWithoutItOnePassOnly) {
  for (bool priority : {true, false}) {
    AntiFreeze anti_freeze;
    anti_freeze.SetApplicationHasPriority(priority);
    Chain chain(10);
    chain.Begin();
    net::AntiFreezeBase::Pump(true);
    EXPECT_EQ(chain.handled, priority ? 10 : 1) << priority;
    QCoreApplication::sendPostedEvents();
  }
}

TEST(AppAntiFreeze, QtEventsRunDuringATransportWait) {
  test::ScriptedServer server({test::ConnectionScript().Hold()});
  AntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(20);
  net::TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.OpenConnection();
  client.SetReadTimeout(10000);  // a fault ends in an error, not a hang
  // The way a stop button would end a transfer that nothing else ends.
  bool fired = false;
  QTimer::singleShot(50, [&] {
    fired = true;
    client.CloseConnection();
  });
  EXPECT_THROW(client.ReadLine(), net::ConnClosedGracefullyError);
  EXPECT_TRUE(fired);
}

}  // namespace
}  // namespace mevra::app

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
