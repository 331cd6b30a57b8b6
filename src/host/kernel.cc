#include "src/host/kernel.h"

namespace kova {
namespace {
KovaKernel* gKernel = nullptr;
}  // namespace

KovaKernel* kernel() { return gKernel; }
void setKernel(KovaKernel* handle) { gKernel = handle; }

}  // namespace kova
