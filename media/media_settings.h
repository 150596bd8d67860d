// The settings a line's media takes when it opens, as they stand now.
#pragma once

#include "media/line_media.h"

namespace talvenor {

MediaSettings CurrentMediaSettings();

}  // namespace talvenor
