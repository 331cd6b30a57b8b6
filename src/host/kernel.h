// The module's one process-wide variable: the kernel handle the host gave
// zrextent or zrextver. Written at load time only; read by everything that
// needs a host service. Null until the host has called an entry point.
#pragma once

#include "kova/host.h"

namespace kova {

KovaKernel* kernel();
void setKernel(KovaKernel* handle);

// The kernel's NLS service, or null (no kernel, or a host without one).
inline KovaNls* nls() {
  KovaKernel* k = kernel();
  return k ? k->nls : nullptr;
}

}  // namespace kova
