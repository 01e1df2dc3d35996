#pragma once
// The builder's making of a streams carrier (stream_carrier.h): the
// container split into its streams on scratch files, each stream compressed
// with the settings that suit its bytes, as many at once as the machine has
// cores, then the carrier written whole.

#include <string>

#include "builder/progress_bar.h"
#include "builder/release_builder.h"
#include "platform/scratch_file.h"

// The carrier of the container in the file `stored` that `builder` wrote,
// written to `out` (open), and the payload digest its manifest records.
// False, with `why`.
bool WriteStreamCarrier(CReleaseBuilder& builder, const std::string& stored,
                        const std::string& beside, CProgressBar& progress, CScratchFile& out,
                        CDigest128& payloadDigest, std::string* why);
