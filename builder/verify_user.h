#pragma once
// The patcher's engine inside the builder, for verification: no human, no
// window and no release of its own. The installation path is the scratch
// folder the check names; a file that is not what the release expects is
// never kept as it is (the answer is No); the one posted result is kept.

#include <string>

namespace verify_user {

// The stored path the engine reads: the scratch folder, in the system's
// code page, ending with a separator.
void SetInstallPath(const std::string& path);
// Whether the run posted "completed".
bool Completed();

}  // namespace verify_user
