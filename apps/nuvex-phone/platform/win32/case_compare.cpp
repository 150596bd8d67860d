#include "apps/nuvex-phone/platform/case_compare.h"

#include <cstring>

namespace nuvex {

bool SameIgnoringCase(const char* left, const char* right, size_t count) {
  return _strnicmp(left, right, count) == 0;
}

}  // namespace nuvex
