// What the fuzzers share of their host: the private folder where
// CCon::AddSystemPath puts the lists.
#pragma once

#include <string>

namespace fuzzhost {

// Made once per process under /tmp; "/tmp" itself when it could not be made.
const std::string& DataFolder();

}  // namespace fuzzhost
