#include "builder/release_input.h"

#include "base/refusal.h"
#include "builder/release_limits.h"
#include "builder/show_release.h"
#include "container/release_chain.h"
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
    return CheckRelease(path, inner, innerSize, codePage, kReleaseSizeLimit, &input.steps, why);
  }
  std::string asRelease;
  if (CheckRelease(path, data, size, codePage, kReleaseSizeLimit, &input.steps, &asRelease)) {
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

bool OpenWrittenRelease(const std::string& path, bool program,
                        const std::vector<CPatchContainer>& containers, uint64_t sizeLimit,
                        CReleaseInput& input, std::string* why) {
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
  std::vector<CReleaseStep> parts;
  if (!ReadReleaseChain(input.data, input.size, parts, &reason) ||
      parts.size() != containers.size())
    return Refuse(why, path + ": " + (reason.empty() ? "not the steps written" : reason));
  input.steps.resize(parts.size());
  for (size_t k = 0; k < parts.size(); ++k) {
    CInputStep& step = input.steps[k];
    step.size = parts[k].size;
    if (!ReadReleaseManifest(parts[k].data, parts[k].size, step.release, &reason))
      return Refuse(why, path + ": " + reason);
    step.container = containers[k];
    step.release.container = containers[k].data;
    step.release.containerSize = containers[k].size;
  }
  return true;
}
