#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "tests/net/test_support.h"

namespace mevra::net::testing {
namespace {

TEST(AntiFreeze, PumpFollowsTheWaitPointAndTheSettings) {
  struct Case {
    const char* name;
    bool active, only_when_idle, idle_only, force, pumps;
  };
  const std::vector<Case> cases = {
      {"idle slice", true, true, true, false, true},
      {"busy slice", true, true, false, false, false},
      {"forced", true, true, false, true, true},
      {"busy slice, not only when idle", true, false, false, false, true},
      {"inactive", false, false, true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetActive(c.active);
    anti_freeze.SetOnlyWhenIdle(c.only_when_idle);
    AntiFreezeBase::Pump(c.idle_only, c.force);
    EXPECT_EQ(anti_freeze.pumps, c.pumps ? 1 : 0);
  }
}

TEST(AntiFreeze, LatestInstanceIsInForceAndAnyDestructionEndsIt) {
  auto first = std::make_unique<RecordingAntiFreeze>();
  auto second = std::make_unique<RecordingAntiFreeze>();
  AntiFreezeBase::Pump(true);
  EXPECT_EQ(first->pumps, 0);
  EXPECT_EQ(second->pumps, 1);
  first.reset();
  EXPECT_EQ(AntiFreezeBase::ActiveAntiFreeze(), nullptr);
  AntiFreezeBase::Pump(true, true);  // none in force: nothing to call
  EXPECT_EQ(second->pumps, 1);
}

TEST(AntiFreeze, OnlyTheMainThreadIsInForce) {
  RecordingAntiFreeze anti_freeze;
  EXPECT_TRUE(AntiFreezeBase::AntiFreezeInForce());
  std::thread([] {
    EXPECT_FALSE(AntiFreezeBase::AntiFreezeInForce());
    AntiFreezeBase::Pump(true, true);
  }).join();
  EXPECT_EQ(anti_freeze.pumps, 0);
}

}  // namespace
}  // namespace mevra::net::testing
