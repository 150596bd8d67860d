// Whether a display server answers, tried before the toolkit connects: a
// toolkit that cannot reach its display ends the whole process.
#pragma once

#include <string>

namespace talvenor::view {

// A local socket by path accepts a connection; with `abstract`, the same
// name in Linux's abstract namespace, where X servers listen too.
bool LocalSocketAnswers(const std::string& path, bool abstract);

// Connects to the X server the way the toolkit's xcb plugin will, through
// the same library, authorization included: a server that only accepts the
// socket but refuses the client would otherwise abort the process. The
// library is the one the plugin itself needs; without it there is no X.
bool XServerAcceptsUs(const std::string& display);

}  // namespace talvenor::view
