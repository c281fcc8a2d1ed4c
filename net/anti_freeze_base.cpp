#include "net/anti_freeze_base.h"

#include <atomic>

namespace mevra::net {

namespace {
std::atomic<AntiFreezeBase*> g_active_anti_freeze{nullptr};
// Static initialisation runs on the thread that later runs main(), so this records the main
// thread before any other thread can exist.
std::atomic<std::thread::id> g_main_thread_id{std::this_thread::get_id()};
}  // namespace

AntiFreezeBase::AntiFreezeBase() { g_active_anti_freeze.store(this); }

AntiFreezeBase::~AntiFreezeBase() { g_active_anti_freeze.store(nullptr); }

AntiFreezeBase* AntiFreezeBase::ActiveAntiFreeze() { return g_active_anti_freeze.load(); }

bool AntiFreezeBase::AntiFreezeInForce() {
  // The thread is checked first, so other threads never read the instance's settings.
  if (!OnMainThread()) return false;
  const AntiFreezeBase* anti_freeze = g_active_anti_freeze.load();
  return anti_freeze != nullptr && anti_freeze->Active();
}

void AntiFreezeBase::Pump(bool idle_only, bool force) {
  if (!AntiFreezeInForce()) return;
  AntiFreezeBase* anti_freeze = g_active_anti_freeze.load();
  if (idle_only || !anti_freeze->OnlyWhenIdle() || force) anti_freeze->PumpMessages();
}

bool AntiFreezeBase::OnMainThread() {
  return std::this_thread::get_id() == g_main_thread_id.load();
}

std::thread::id AntiFreezeBase::MainThreadId() { return g_main_thread_id.load(); }

void AntiFreezeBase::SetMainThreadId(std::thread::id id) { g_main_thread_id.store(id); }

}  // namespace mevra::net
