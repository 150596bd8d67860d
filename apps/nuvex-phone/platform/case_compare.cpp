#include "apps/nuvex-phone/platform/case_compare.h"

#include <strings.h>

namespace nuvex {

bool SameIgnoringCase(const char* left, const char* right, size_t count) {
  return strncasecmp(left, right, count) == 0;
}

}  // namespace nuvex
