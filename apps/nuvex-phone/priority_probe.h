// Whether this system lets the phone's threads run above normal priority,
// as the module asks for its media receive threads (a raised nice value
// needs CAP_SYS_NICE or an RLIMIT_NICE above the default).
#pragma once

namespace nuvex {

bool CanRaiseThreadPriority();

}  // namespace nuvex
