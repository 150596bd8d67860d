// The RTP of a call line: opened for the line, its receive loop run on a
// line thread of its own.
#pragma once

#include <memory>

#include "media/line_media.h"

namespace talvenor {

class CallLine;

// Opens the line's media and starts its receive thread; mediaOpen is set.
// False when no port or no local address could be had, or no thread.
bool OpenCallMedia(const std::shared_ptr<CallLine>& line, MediaSettings settings);

}  // namespace talvenor
