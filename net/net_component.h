#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace mevra::net {

enum class WorkMode { wmRead = 0, wmWrite = 1 };

enum class NetStatus {
  hsResolving,
  hsConnecting,
  hsConnected,
  hsDisconnecting,
  hsDisconnected,
  hsStatusText,
  ftpTransfer,
  ftpReady,
  ftpAborted
};

// The format of each status report; "%s" is replaced by the report's argument.
const char* StatusTexts(NetStatus status);

class NetComponent;
using NotifyEvent = std::function<void(NetComponent& sender)>;

// Base of every transport component. Keeps the process-wide socket stack alive and reports
// progress (work) and milestones (status) to whoever subscribed. Work spans nest per mode: only
// the outermost start and finish fire begin and end, and counts run from the outermost start.
class NetComponent {
 public:
  NetComponent();
  virtual ~NetComponent();
  NetComponent(const NetComponent&) = delete;
  NetComponent& operator=(const NetComponent&) = delete;

  std::function<void(NetComponent& sender, NetStatus status, const std::string& text)> OnStatus;
  std::function<void(NetComponent& sender, WorkMode mode, int32_t work_count)> OnWork;
  std::function<void(NetComponent& sender, WorkMode mode, int32_t work_count_max)> OnWorkBegin;
  std::function<void(NetComponent& sender, WorkMode mode)> OnWorkEnd;

  virtual void StartWork(WorkMode mode, int64_t count_max = 0);
  // Adds to the open span of `mode`; ignored when none is open.
  virtual void ReportWork(WorkMode mode, int64_t count);
  virtual void FinishWork(WorkMode mode);
  void ReportStatus(NetStatus status, const std::string& argument = std::string());

  int64_t WorkCount(WorkMode mode) const { return work_[Index(mode)].count; }
  int32_t WorkLevel(WorkMode mode) const { return work_[Index(mode)].level; }

 private:
  struct WorkRecord {
    int64_t count = 0;
    int32_t level = 0;
  };
  static size_t Index(WorkMode mode) { return static_cast<size_t>(mode); }

  std::array<WorkRecord, 2> work_;
};

}  // namespace mevra::net
