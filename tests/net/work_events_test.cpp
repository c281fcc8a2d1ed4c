#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "net/net_component.h"

namespace mevra::net {
namespace {

struct Recorder {
  std::vector<std::string> log;
  void Attach(NetComponent& component) {
    component.OnWorkBegin = [this](NetComponent&, WorkMode mode, int32_t max) {
      log.push_back("begin " + std::to_string(static_cast<int>(mode)) + " " + std::to_string(max));
    };
    component.OnWork = [this](NetComponent&, WorkMode mode, int32_t count) {
      log.push_back("work " + std::to_string(static_cast<int>(mode)) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [this](NetComponent&, WorkMode mode) {
      log.push_back("end " + std::to_string(static_cast<int>(mode)));
    };
  }
};

TEST(WorkEvents, NestedSpansFireOnceAndCountFromTheOutermostStart) {
  NetComponent component;
  Recorder recorder;
  recorder.Attach(component);
  component.ReportWork(WorkMode::wmRead, 99);  // outside any span: ignored
  component.StartWork(WorkMode::wmRead, 100);
  component.ReportWork(WorkMode::wmRead, 10);
  component.StartWork(WorkMode::wmRead, 5);
  component.StartWork(WorkMode::wmWrite, 7);
  component.ReportWork(WorkMode::wmRead, 5);
  component.ReportWork(WorkMode::wmWrite, 7);
  component.FinishWork(WorkMode::wmWrite);
  component.FinishWork(WorkMode::wmRead);
  component.FinishWork(WorkMode::wmRead);
  component.StartWork(WorkMode::wmRead);
  component.ReportWork(WorkMode::wmRead, 1);
  component.FinishWork(WorkMode::wmRead);
  const std::vector<std::string> expected = {"begin 0 100", "work 0 10", "begin 1 7", "work 0 15",
                                             "work 1 7",    "end 1",     "end 0",     "begin 0 0",
                                             "work 0 1",    "end 0"};
  EXPECT_EQ(recorder.log, expected);
  EXPECT_EQ(component.WorkLevel(WorkMode::wmRead), 0);
}

TEST(WorkEvents, UnsetHandlersAreSkippedAndCountsSaturate) {
  NetComponent component;
  component.StartWork(WorkMode::wmRead, int64_t{1} << 33);
  component.ReportWork(WorkMode::wmRead, 3);
  int32_t last = 0;
  component.OnWork = [&](NetComponent&, WorkMode, int32_t count) { last = count; };
  component.ReportWork(WorkMode::wmRead, int64_t{1} << 32);
  EXPECT_EQ(last, 2147483647);
  component.FinishWork(WorkMode::wmRead);
}

TEST(WorkEvents, RaisingBeginOrEndHandlersDoNotLeaveASpanOpen) {
  NetComponent component;
  Recorder recorder;
  component.OnWorkBegin = [](NetComponent&, WorkMode, int32_t) {
    throw std::runtime_error("begin");
  };
  EXPECT_THROW(component.StartWork(WorkMode::wmRead, 1), std::runtime_error);
  EXPECT_EQ(component.WorkLevel(WorkMode::wmRead), 0);

  recorder.Attach(component);
  component.OnWorkEnd = [](NetComponent&, WorkMode) { throw std::runtime_error("end"); };
  component.StartWork(WorkMode::wmRead, 1);
  EXPECT_THROW(component.FinishWork(WorkMode::wmRead), std::runtime_error);
  EXPECT_EQ(component.WorkLevel(WorkMode::wmRead), 0);
  // The next transfer is an outermost span again and reports from zero.
  component.StartWork(WorkMode::wmRead, 2);
  component.ReportWork(WorkMode::wmRead, 2);
  EXPECT_EQ(recorder.log, (std::vector<std::string>{"begin 0 1", "begin 0 2", "work 0 2"}));
}

TEST(WorkEvents, StatusTextsAreFormattedWithTheArgument) {
  NetComponent component;
  std::vector<std::string> texts;
  component.ReportStatus(NetStatus::hsConnected);  // no handler: nothing happens
  component.OnStatus = [&](NetComponent&, NetStatus, const std::string& text) {
    texts.push_back(text);
  };
  component.ReportStatus(NetStatus::hsResolving, "example.test");
  component.ReportStatus(NetStatus::hsConnecting, "127.0.0.1");
  component.ReportStatus(NetStatus::hsConnected, "ignored");
  component.ReportStatus(NetStatus::hsDisconnecting);
  component.ReportStatus(NetStatus::hsDisconnected);
  component.ReportStatus(NetStatus::hsStatusText, "free text");
  component.ReportStatus(NetStatus::ftpReady);
  const std::vector<std::string> expected = {"Resolving hostname example.test.",
                                             "Connecting to 127.0.0.1.",
                                             "Connected.",
                                             "Disconnecting.",
                                             "Disconnected.",
                                             "free text",
                                             ""};
  EXPECT_EQ(texts, expected);
}

}  // namespace
}  // namespace mevra::net
