#include "builder/release_input.h"

#include "base/refusal.h"
#include "builder/release_limits.h"
#include "builder/show_release.h"
#include "pe/exe_stamp.h"

bool OpenReleaseInput(const std::string& path, uint32_t codePage, CReleaseInput& input,
                      std::string* why) {
  if (!input.file.Open(path, why)) return false;
  const uint8_t* data = input.file.Data();
  const uint64_t size = input.file.Size();
  std::string asProgram;
  const uint8_t* inner = nullptr;
  uint32_t innerSize = 0;
  const CReleaseFileForm form = FormOfReleaseFile(data, size, inner, innerSize, &asProgram);
  if (form == CReleaseFileForm::kProgram) {
    input.program = true;
    input.data = inner;
    input.size = innerSize;
    return CheckRelease(path, inner, innerSize, codePage, kReleaseSizeLimit, &input.container, why,
                        &input.release);
  }
  std::string asRelease;
  if (CheckRelease(path, data, size, codePage, kReleaseSizeLimit, &input.container, &asRelease,
                   &input.release)) {
    input.data = data;
    input.size = size;
    return true;
  }
  if (form == CReleaseFileForm::kOtherProgram) return Refuse(why, path + ": " + asProgram);
  if (LooksLikeExe(data, size))
    return Refuse(why, asRelease + "; nor is it QelPatch.exe: " +
                           (size <= UINT32_MAX ? asProgram : "too large for a 32-bit program"));
  return Refuse(why, asRelease);
}

bool OpenWrittenRelease(const std::string& path, bool program, const CPatchContainer& container,
                        uint64_t sizeLimit, CReleaseInput& input, std::string* why) {
  if (!input.file.Open(path, why)) return false;
  input.program = program;
  input.data = input.file.Data();
  input.size = input.file.Size();
  uint32_t innerSize = 0;
  std::string reason;
  if (program && (input.size > UINT32_MAX ||
                  !ReleaseInExe(input.file.Data(), static_cast<uint32_t>(input.file.Size()),
                                input.data, innerSize, &reason)))
    return Refuse(why, path + ": " + reason);
  if (program) input.size = innerSize;
  if (input.size > sizeLimit) return Refuse(why, OverReleaseLimit(path, input.size, sizeLimit));
  if (!ReadReleaseManifest(input.data, input.size, input.release, &reason))
    return Refuse(why, path + ": " + reason);
  input.container = container;
  input.release.container = container.data;
  input.release.containerSize = container.size;
  return true;
}
