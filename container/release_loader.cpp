#include "container/release_loader.h"

#include "base/path_text.h"
#include "base/refusal.h"
#include "platform/text_conversion.h"

namespace {
bool Refused(CLoadRefusal& refusal, CLoadRefusal kind, std::string* why, const std::string& text) {
  refusal = kind;
  return Refuse(why, text);
}

// Windows names files in its ANSI code page, so a name written for another
// would name another file there; a UTF-8 system takes any name. The names
// are carried on in UTF-8, the file layer's paths.
bool TakeNames(CLoadedRelease& release, uint32_t systemCodePage, CLoadRefusal& refusal,
               std::string* why) {
  const uint32_t written = release.namesCodePage;
  if (written != systemCodePage && systemCodePage != kCodePageUtf8)
    return Refused(refusal, CLoadRefusal::kOtherCodePage, why,
                   "This patch is for code page " + std::to_string(written) +
                       "; this system uses code page " + std::to_string(systemCodePage));
  if (written == kCodePageUtf8) return true;
  std::vector<CContainerEntry>& entries = release.container.entries;
  release.localNames.assign(entries.size(), std::string());
  release.releaseNames.assign(entries.size(), nullptr);
  for (size_t i = 0; i < entries.size(); ++i) {
    release.releaseNames[i] = entries[i].name;
    if (!ConvertCodePage(written, kCodePageUtf8, entries[i].name, release.localNames[i]))
      return Refused(
          refusal, CLoadRefusal::kDamaged, why,
          std::string(entries[i].name) + ": not a name of code page " + std::to_string(written));
    entries[i].name = release.localNames[i].c_str();
  }
  CReleaseManifest& manifest = release.view.manifest;
  std::vector<std::string*> named;
  for (CRemovedFile& file : manifest.removed) named.push_back(&file.name);
  for (std::string& folder : manifest.removedFolders) named.push_back(&folder);
  for (auto& file : manifest.unchanged) named.push_back(&file.first);
  for (std::string* name : named) {
    std::string taken;
    if (!ConvertCodePage(written, kCodePageUtf8, *name, taken))
      return Refused(refusal, CLoadRefusal::kDamaged, why,
                     *name + ": not a name of code page " + std::to_string(written));
    *name = taken;
  }
  return true;
}
}  // namespace

const char* CLoadedRelease::ReleaseNameOf(const CContainerEntry& entry) const {
  if (releaseNames.empty()) return entry.name;
  return releaseNames[static_cast<size_t>(&entry - container.entries.data())];
}

const CManifestEntry* CLoadedRelease::ManifestOf(const CContainerEntry& entry) const {
  if (!view.hasManifest) return nullptr;
  return &view.manifest.entries[static_cast<size_t>(&entry - container.entries.data())];
}

bool CLoadedRelease::HoldPayload(const CContainerEntry& entry, CLoadRefusal& refusal,
                                 std::string* why) {
  refusal = CLoadRefusal::kNone;
  if (!container.tablesOnly) return true;
  const size_t index = static_cast<size_t>(&entry - container.entries.data());
  if (held_ != nullptr) held_->payload = nullptr;
  held_ = nullptr;
  bool outOfMemory = false;
  if (!view.payload->Take(container, index, outOfMemory, why)) {
    refusal = outOfMemory ? CLoadRefusal::kOutOfMemory : CLoadRefusal::kDamaged;
    return false;
  }
  held_ = &container.entries[index];
  held_->payload = view.payload->Held();
  return true;
}

uint8_t* CLoadedRelease::HeldPayload() const {
  return held_ != nullptr ? view.payload->Held() : nullptr;
}

bool CLoadedRelease::CheckPayload(std::string* why) {
  if (!container.tablesOnly) return true;
  if (held_ != nullptr) held_->payload = nullptr;
  held_ = nullptr;
  return view.payload->Finish(container, why);
}

uint32_t NamesCodePageOf(const CReleaseView& view, uint32_t fallback) {
  return view.hasManifest && view.manifest.codePage != 0 ? view.manifest.codePage : fallback;
}

bool LoadRelease(const uint8_t* data, uint64_t size, const CLoadRules& rules,
                 CLoadedRelease& release, CLoadRefusal& refusal, std::string* why,
                 const CUnpackProgress& unpacking) {
  refusal = CLoadRefusal::kNone;
  release = CLoadedRelease();
  std::string reason;
  if (!ReadReleaseFile(data, size, release.view, &reason, unpacking, rules.coversKept))
    return Refused(refusal,
                   release.view.outOfMemory ? CLoadRefusal::kOutOfMemory : CLoadRefusal::kDamaged,
                   why, reason);
  const CReleaseView& view = release.view;
  release.namesCodePage = NamesCodePageOf(view, rules.fallbackCodePage);
  const bool validated =
      view.payload
          ? ValidateContainerTables(view.container, view.containerSize, view.manifest.containerSize,
                                    release.namesCodePage, &reason, release.container)
          : ValidatePatchContainer(view.container, view.containerSize, release.namesCodePage,
                                   &reason, &release.container);
  if (!validated || (view.hasManifest && !CheckManifest(view.manifest, release.container,
                                                        release.namesCodePage, &reason)))
    return Refused(refusal, CLoadRefusal::kDamaged, why, reason);
  return rules.systemCodePage == 0 || TakeNames(release, rules.systemCodePage, refusal, why);
}
