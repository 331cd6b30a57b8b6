// The Host: the kernel handle and its operations, options, failure injection
// and the account of live objects. Pools and cans live in pool.cc and can.cc.
#include "runtime/kernel/host.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "runtime/kernel/can.h"
#include "runtime/kernel/pool.h"
#include "runtime/kernel/print_wide.h"
#include "runtime/kernel/siblings.h"
#include "runtime/nls/nls_service.h"

namespace kova::runtime {
namespace {

// The kernel handle the module sees, with the way back to its Host.
struct KernelBox {
  KovaKernel kernel;  // first: KovaKernel* and KernelBox* are the same address
  Host* host;
};

Host& hostOf(KovaKernel* kernel) { return *Host::fromKernel(kernel); }

KovaPool* kernelCreatePool(KovaKernel* kernel, const KovaPoolOptions*, KovaDiagnostics*,
                           const char* name) {
  Host& host = hostOf(kernel);
  if (!host.consumeAllocation()) return nullptr;
  return newPool(host, name);
}

KovaCan* kernelCreateResourceCan(KovaKernel* kernel, const KovaCanOptions*, KovaDiagnostics*,
                                 const char* name) {
  Host& host = hostOf(kernel);
  if (!host.consumeAllocation()) return nullptr;
  return newCan(host, name);
}

KovaExtensionHandle* kernelLoadExtension(KovaKernel* kernel, const char16_t* name, int32_t length,
                                         KovaDiagnostics* diagnostics) {
  if (!name || length <= 0) return nullptr;
  Host& host = hostOf(kernel);
  std::u16string_view wanted(name, static_cast<size_t>(length));
  using Loader = KovaExtensionHandle* (*)(Host&, KovaDiagnostics*);
  Loader loader = nullptr;
  if (wanted == u"zrexml") {
    loader = loadXmlExtension;
  } else if (wanted == u"zreavl") {
    loader = loadTreeExtension;
  } else if (wanted == u"zrefmt") {
    loader = loadFormatExtension;
  } else if (wanted == u"zrejson") {
    loader = loadJsonExtension;
  }
  if (!loader || !host.extensionLoadable(wanted)) return nullptr;
  if (!host.consumeAllocation()) return nullptr;
  return loader(host, diagnostics);
}

KovaStatus kernelPrintWide(KovaKernel*, void*, const char16_t* format, int64_t formatLength,
                           char16_t* target, int64_t capacity, int64_t* length, int32_t zero, ...) {
  va_list args;
  va_start(args, zero);
  KovaStatus status = vprintWide(format, formatLength, target, capacity, length, args);
  va_end(args);
  return status;
}

KovaStatus kernelGetOption(KovaKernel* kernel, const char16_t* key, int32_t keyLength, int32_t type,
                           void* value, int64_t* size);

const KovaKernelOps kKernelOps = {kernelCreatePool, kernelCreateResourceCan, kernelLoadExtension,
                                  kernelGetOption, kernelPrintWide};

}  // namespace

struct Host::State {
  KernelBox box;
  std::unique_ptr<NlsService> nls;
  std::map<std::u16string, int64_t, std::less<>> options;
  std::set<std::u16string, std::less<>> unloadable;
  // Threads that rip in parallel allocate through one Host: the account and
  // the event count are atomic, and an armed failure is decided under a lock.
  std::atomic<uint64_t> pools{0};
  std::atomic<uint64_t> blocks{0};
  std::atomic<uint64_t> bytes{0};
  std::atomic<uint64_t> cans{0};
  std::atomic<uint64_t> objects{0};
  std::atomic<uint64_t> events{0};
  std::atomic<bool> armed{false};  // a failure is armed or failing
  std::mutex failureMutex;         // guards the four fields below
  uint64_t countdown = 0;          // 0: not armed
  bool persistent = false;
  bool failing = false;  // a persistent failure has fired
  bool fired = false;
  bool forceTranscoding = false;
};

namespace {

KovaStatus kernelGetOption(KovaKernel* kernel, const char16_t* key, int32_t keyLength, int32_t type,
                           void* value, int64_t* size) {
  if (!key || keyLength < 0 || !value || !size) return kStatusNotSupported;
  if (type != kOptionTypeInteger) return kStatusNotSupported;
  int64_t found = 0;
  if (!hostOf(kernel).option(std::u16string_view(key, static_cast<size_t>(keyLength)), &found)) {
    return kStatusNotSupported;
  }
  if (*size < static_cast<int64_t>(sizeof found)) return kStatusNotSupported;
  std::memcpy(value, &found, sizeof found);
  *size = sizeof found;
  return kStatusOk;
}

}  // namespace

Host::Host() : state_(std::make_unique<State>()) {
  state_->box.kernel.ops = &kKernelOps;
  state_->box.kernel.nls = nullptr;
  state_->box.host = this;
  // The NLS service may already use the Host (events, object counts).
  state_->nls = createNlsService(*this);
  if (state_->nls) state_->box.kernel.nls = state_->nls->abi();
}

Host::~Host() {
  // The NLS service reports its objects' deaths to the Host: end it first.
  state_->box.kernel.nls = nullptr;
  state_->nls.reset();
}

KovaKernel* Host::kernel() { return &state_->box.kernel; }

Host* Host::fromKernel(KovaKernel* kernel) {
  if (!kernel || kernel->ops != &kKernelOps) return nullptr;
  return reinterpret_cast<KernelBox*>(kernel)->host;
}

void Host::setOption(std::u16string_view key, int64_t value) {
  state_->options.insert_or_assign(std::u16string(key), value);
}

void Host::unsetOption(std::u16string_view key) {
  auto it = state_->options.find(key);
  if (it != state_->options.end()) state_->options.erase(it);
}

bool Host::option(std::u16string_view key, int64_t* value) const {
  auto it = state_->options.find(key);
  if (it == state_->options.end()) return false;
  *value = it->second;
  return true;
}

void Host::failAllocation(uint64_t nth, bool persistent) {
  std::lock_guard<std::mutex> lock(state_->failureMutex);
  state_->countdown = nth;
  state_->persistent = persistent;
  state_->failing = false;
  state_->fired = false;
  state_->armed = nth != 0;
}

void Host::clearFailure() {
  std::lock_guard<std::mutex> lock(state_->failureMutex);
  state_->countdown = 0;
  state_->persistent = false;
  state_->failing = false;
  state_->armed = false;
}

bool Host::failureFired() const {
  std::lock_guard<std::mutex> lock(state_->failureMutex);
  return state_->fired;
}

bool Host::consumeAllocation() {
  State& s = *state_;
  s.events.fetch_add(1, std::memory_order_relaxed);
  if (!s.armed.load(std::memory_order_acquire)) return true;
  std::lock_guard<std::mutex> lock(s.failureMutex);
  if (s.failing) return false;
  if (s.countdown == 0 || --s.countdown != 0) return true;
  s.fired = true;
  s.failing = s.persistent;
  s.armed = s.persistent;
  return false;
}

uint64_t Host::allocationEvents() const { return state_->events.load(); }

Account Host::account() const {
  Account a;
  a.pools = state_->pools.load();
  a.blocks = state_->blocks.load();
  a.bytes = state_->bytes.load();
  a.cans = state_->cans.load();
  a.objects = state_->objects.load();
  return a;
}

void Host::trackObject(int delta) {
  state_->objects.fetch_add(static_cast<uint64_t>(delta), std::memory_order_relaxed);
}

void Host::trackBlocks(int64_t blocks, int64_t bytes) {
  state_->blocks.fetch_add(static_cast<uint64_t>(blocks), std::memory_order_relaxed);
  state_->bytes.fetch_add(static_cast<uint64_t>(bytes), std::memory_order_relaxed);
}

void Host::trackPools(int delta) {
  state_->pools.fetch_add(static_cast<uint64_t>(delta), std::memory_order_relaxed);
}

void Host::trackCans(int delta) {
  state_->cans.fetch_add(static_cast<uint64_t>(delta), std::memory_order_relaxed);
}

void Host::setExtensionLoadable(std::u16string_view name, bool loadable) {
  if (loadable) {
    auto it = state_->unloadable.find(name);
    if (it != state_->unloadable.end()) state_->unloadable.erase(it);
  } else {
    state_->unloadable.emplace(name);
  }
}

bool Host::extensionLoadable(std::u16string_view name) const {
  return state_->unloadable.find(name) == state_->unloadable.end();
}

void Host::setForceTranscoding(bool force) { state_->forceTranscoding = force; }

bool Host::forceTranscoding() const { return state_->forceTranscoding; }

}  // namespace kova::runtime
