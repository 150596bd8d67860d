// The settings a line's media takes when it opens, as they stand now.
#pragma once

#include "media/line_media.h"

namespace talvenor {

// The LocalAddress setting comes resolved to a dotted address (a name
// lookup, so never call this under ModuleLock).
MediaSettings CurrentMediaSettings();

}  // namespace talvenor
