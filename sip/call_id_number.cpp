#include "sip/call_id_number.h"

#include "sip/random_number.h"

namespace talvenor {

uint32_t NewCallIdNumber() { return RandomNumber(); }

}  // namespace talvenor
