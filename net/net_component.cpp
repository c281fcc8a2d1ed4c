#include "net/net_component.h"

#include <limits>

#include "net/net_stack.h"

namespace mevra::net {

namespace {
// Work events carry 32-bit counts; a larger transfer shows the largest count instead of
// wrapping round to a negative one.
int32_t Saturate(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}
}  // namespace

const char* StatusTexts(NetStatus status) {
  switch (status) {
    case NetStatus::hsResolving:
      return "Resolving hostname %s.";
    case NetStatus::hsConnecting:
      return "Connecting to %s.";
    case NetStatus::hsConnected:
      return "Connected.";
    case NetStatus::hsDisconnecting:
      return "Disconnecting.";
    case NetStatus::hsDisconnected:
      return "Disconnected.";
    default:
      return "%s";
  }
}

NetComponent::NetComponent() { NetStack::AddUser(); }

NetComponent::~NetComponent() { NetStack::RemoveUser(); }

void NetComponent::StartWork(WorkMode mode, int64_t count_max) {
  WorkRecord& work = work_[Index(mode)];
  if (++work.level != 1) return;
  work.count = 0;
  if (!OnWorkBegin) return;
  try {
    OnWorkBegin(*this, mode, Saturate(count_max));
  } catch (...) {
    // The span did not open for the caller, which will not finish it; a level left behind
    // would silence begin and end events of every later transfer.
    --work.level;
    throw;
  }
}

void NetComponent::ReportWork(WorkMode mode, int64_t count) {
  WorkRecord& work = work_[Index(mode)];
  if (work.level < 1) return;
  work.count += count;
  if (OnWork) OnWork(*this, mode, Saturate(work.count));
}

void NetComponent::FinishWork(WorkMode mode) {
  WorkRecord& work = work_[Index(mode)];
  if (work.level < 1) return;
  struct LevelDrop {
    int32_t& level;
    ~LevelDrop() { --level; }
  } drop{work.level};
  // The end event fires before the level drops, and the level drops even when it raises.
  if (work.level == 1 && OnWorkEnd) OnWorkEnd(*this, mode);
}

void NetComponent::ReportStatus(NetStatus status, const std::string& argument) {
  if (!OnStatus) return;
  std::string text = StatusTexts(status);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  OnStatus(*this, status, text);
}

}  // namespace mevra::net
