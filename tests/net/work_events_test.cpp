#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/net/test_support.h"

namespace mevra::net::testing {
namespace {

TEST(WorkEvents, NestedSpansFireOnceAndCountFromTheOutermostStart) {
  NetComponent component;
  WorkLog log(component);
  component.ReportWork(WorkMode::wmRead, 99);  // outside any span: ignored
  component.StartWork(WorkMode::wmRead, 100);
  component.ReportWork(WorkMode::wmRead, 10);
  component.StartWork(WorkMode::wmRead, 5);
  component.StartWork(WorkMode::wmWrite, 7);
  component.ReportWork(WorkMode::wmRead, 5);
  component.FinishWork(WorkMode::wmWrite);
  component.FinishWork(WorkMode::wmRead);
  component.FinishWork(WorkMode::wmRead);
  component.StartWork(WorkMode::wmRead);
  component.ReportWork(WorkMode::wmRead, 1);
  EXPECT_EQ(log.entries,
            (std::vector<std::string>{"begin 0 100", "work 0 10", "begin 1 7", "work 0 15", "end 1",
                                      "end 0", "begin 0 0", "work 0 1"}));
}

TEST(WorkEvents, RaisingBeginOrEndHandlersLeaveNoSpanOpen) {
  NetComponent component;
  WorkLog log(component);
  component.OnWorkBegin = [](NetComponent&, WorkMode, int32_t) { throw std::runtime_error("b"); };
  EXPECT_THROW(component.StartWork(WorkMode::wmRead, 1), std::runtime_error);
  WorkLog fresh(component);
  component.OnWorkEnd = [](NetComponent&, WorkMode) { throw std::runtime_error("e"); };
  component.StartWork(WorkMode::wmRead, 1);
  EXPECT_THROW(component.FinishWork(WorkMode::wmRead), std::runtime_error);
  // The next transfer is an outermost span again: its begin fires and it counts from zero.
  component.StartWork(WorkMode::wmRead, 2);
  component.ReportWork(WorkMode::wmRead, 2);
  EXPECT_EQ(fresh.entries, (std::vector<std::string>{"begin 0 1", "begin 0 2", "work 0 2"}));
}

}  // namespace
}  // namespace mevra::net::testing
