#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "net/anti_freeze_base.h"
#include "tests/net/test_support.h"

namespace mevra::net::testing {
namespace {

TEST(AntiFreeze, PumpFollowsTheWaitPointAndTheSettings) {
  struct Case {
    bool active;
    bool only_when_idle;
    bool idle_only;
    bool force;
    bool pumps;
  };
  const std::vector<Case> cases = {
      {true, true, true, false, true},   {true, true, false, false, false},
      {true, true, false, true, true},   {true, false, false, false, true},
      {false, false, true, true, false},
  };
  for (const Case& c : cases) {
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetActive(c.active);
    anti_freeze.SetOnlyWhenIdle(c.only_when_idle);
    AntiFreezeBase::Pump(c.idle_only, c.force);
    EXPECT_EQ(anti_freeze.pumps, c.pumps ? 1 : 0)
        << c.active << c.only_when_idle << c.idle_only << c.force;
  }
}

TEST(AntiFreeze, LatestInstanceIsInForceAndAnyDestructionEndsIt) {
  EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), nullptr);
  AntiFreezeBase::Pump(true, true);  // none in force: nothing to call
  auto first = std::make_unique<RecordingAntiFreeze>();
  EXPECT_EQ(first->IdleTimeOut(), 250);
  EXPECT_TRUE(first->ApplicationHasPriority());
  auto second = std::make_unique<RecordingAntiFreeze>();
  EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), second.get());
  AntiFreezeBase::Pump(true);
  EXPECT_EQ(first->pumps, 0);
  EXPECT_EQ(second->pumps, 1);
  first.reset();
  EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), nullptr);
  EXPECT_FALSE(AntiFreezeBase::AntiFreezeInForce());
}

TEST(AntiFreeze, OnlyTheMainThreadIsInForce) {
  RecordingAntiFreeze anti_freeze;
  EXPECT_TRUE(AntiFreezeBase::AntiFreezeInForce());
  bool in_force_elsewhere = true;
  std::thread worker([&] {
    in_force_elsewhere = AntiFreezeBase::AntiFreezeInForce();
    AntiFreezeBase::Pump(true, true);
  });
  worker.join();
  EXPECT_FALSE(in_force_elsewhere);
  EXPECT_EQ(anti_freeze.pumps, 0);

  // A test may name another thread the main one.
  const std::thread::id main_thread = AntiFreezeBase::MainThreadId();
  std::thread adopted([&] {
    AntiFreezeBase::SetMainThreadId(std::this_thread::get_id());
    AntiFreezeBase::Pump(true);
  });
  adopted.join();
  AntiFreezeBase::SetMainThreadId(main_thread);
  EXPECT_EQ(anti_freeze.pumps, 1);
}

}  // namespace
}  // namespace mevra::net::testing
