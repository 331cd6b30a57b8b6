#include "src/host/options.h"

#include "src/host/kernel.h"

namespace kova {

bool readIntegerOption(std::u16string_view key, int64_t* value) {
  KovaKernel* k = kernel();
  if (!k) return false;
  int64_t size = sizeof(int64_t);
  int64_t result = *value;
  KovaStatus status = k->ops->getOption(k, key.data(), static_cast<int32_t>(key.size()),
                                        kOptionTypeInteger, &result, &size);
  if (status != kStatusOk) return false;
  *value = result;
  return true;
}

}  // namespace kova
