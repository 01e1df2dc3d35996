#pragma once
// A release's review (show_release.h) as --show prints it: a table for the
// release engineer, or with --json one JSON document for scripts.

#include <string>

#include "builder/show_release.h"

std::string ReviewText(const CReleaseReview& review);
// Entries as objects with named fields; what the release does not say (the
// sizes of a release without a manifest) is null.
std::string ReviewJson(const CReleaseReview& review);
