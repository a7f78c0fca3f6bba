// The text store against a plain string: the fuzzer's bytes are the operations (inserts,
// deletes, large blocks, snapshots, restores, views) of the tests' differential driver.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "StoreDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault =
      storecheck::drive(std::string_view(reinterpret_cast<const char*>(data), size), 16 * 1024);
  if (!fault.empty()) {
    std::fprintf(stderr, "text store: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
