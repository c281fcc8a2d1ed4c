#pragma once

#include <cstdint>
#include <thread>

#include "net/limits.h"

namespace mevra::net {

// Keeps the user interface alive while transport calls block the main thread: at each wait
// point the transport calls Pump, and the instance in force dispatches pending window messages
// through PumpMessages, which the GUI layer implements. Creating an instance puts it in force;
// destroying any instance leaves none in force.
class AntiFreezeBase {
 public:
  AntiFreezeBase();
  virtual ~AntiFreezeBase();
  AntiFreezeBase(const AntiFreezeBase&) = delete;
  AntiFreezeBase& operator=(const AntiFreezeBase&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  bool ApplicationHasPriority() const { return application_has_priority_; }
  void SetApplicationHasPriority(bool value) { application_has_priority_ = value; }
  int32_t IdleTimeOut() const { return idle_time_out_; }
  void SetIdleTimeOut(int32_t value) { idle_time_out_ = value; }
  bool OnlyWhenIdle() const { return only_when_idle_; }
  void SetOnlyWhenIdle(bool value) { only_when_idle_ = value; }

  // Dispatches the pending window messages (all, or at most one without priority).
  virtual void PumpMessages() = 0;

  static AntiFreezeBase* ActiveAntiFreeze();
  // An instance is in force, it is active, and the caller runs on the main thread.
  static bool AntiFreezeInForce();
  // Calls PumpMessages of the instance in force when the wait point allows it: always when
  // `idle_only` (a slice passed without data) or `force`, otherwise only when OnlyWhenIdle is off.
  static void Pump(bool idle_only = false, bool force = false);

  // The main thread is the one that ran static initialisation, which is the one main() runs on.
  // Tests may name another.
  static bool OnMainThread();
  static std::thread::id MainThreadId();
  static void SetMainThreadId(std::thread::id id);

 private:
  bool active_ = true;
  bool application_has_priority_ = true;
  int32_t idle_time_out_ = kDefaultIdleTimeOut;
  bool only_when_idle_ = true;
};

}  // namespace mevra::net
