#include "builder/build_release.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "base/refusal.h"
#include "builder/program_look.h"
#include "builder/release_input.h"
#include "builder/release_limits.h"
#include "builder/task_paths.h"
#include "builder/verify_release.h"
#include "container/carried_container.h"
#include "container/name_code_page.h"
#include "container/release_chain.h"
#include "pe/exe_output.h"
#include "platform/atomic_output.h"
#include "platform/mapped_file.h"

namespace {
CTaskPaths BuildPaths(const CBuildOptions& options) {
  CTaskPaths paths;
  const size_t oldCount = options.operands.size() - 1;
  for (size_t k = 0; k < oldCount; ++k)
    paths.folders.push_back(
        {options.operands[k], oldCount == 1 ? "the old game folder" : "an old game folder"});
  paths.folders.push_back({options.operands.back(), "the new game folder"});
  if (!options.exePath.empty()) paths.inputs.push_back({options.stubPath, "the stub"});
  AddLookInputs(options, paths);
  if (!options.releasePath.empty())
    paths.outputs.push_back({options.releasePath, "the release (-o)"});
  if (!options.exePath.empty()) paths.outputs.push_back({options.exePath, "the program (--exe)"});
  paths.force = options.force;
  return paths;
}

// One container of the release, written to a scratch file beside the first
// output that is never committed, validated, and its manifest.
struct CScratchContainer {
  CAtomicOutput scratch;
  CMappedFile bytes;
  CPatchContainer entries;
  CReleaseManifest manifest;
};

// Writes the entries of the container through a stream.
using CWriteEntries = std::function<bool(CContainerStream& stream, std::string* why)>;

bool WriteContainer(const CReleaseBuilder& builder, const CWriteEntries& write,
                    const std::string& beside, uint32_t codePage, CProgressBar& progress,
                    CScratchContainer& raw, std::string* why) {
  if (!raw.scratch.Open(beside, why)) return false;
  std::string sinkError;
  const CByteSink sink = [&](const uint8_t* data, size_t count) {
    if (!raw.scratch.Write(data, count)) sinkError = raw.scratch.Error();
    return sinkError.empty();
  };
  CContainerStream stream(sink);
  // The entry count is known at the end; it then takes the place of a zero.
  const bool written = stream.Begin(0, why) && write(stream, why);
  progress.Finish();
  if (!written) return sinkError.empty() ? false : Refuse(why, sinkError);
  uint8_t count[4];
  CContainerStream::CountBytes(stream.Count(), count);
  if (!raw.scratch.Overwrite(0, count, sizeof count) || !raw.scratch.Close())
    return Refuse(why, raw.scratch.Error());
  raw.manifest = builder.Manifest(stream.Digests());
  std::string reason;
  if (!raw.bytes.Open(raw.scratch.TemporaryPath(), why)) return false;
  if (!ValidatePatchContainer(raw.bytes.Data(), static_cast<uint32_t>(raw.bytes.Size()), codePage,
                              &reason, &raw.entries))
    return Refuse(why, beside + ": the patcher would refuse this release: " + reason);
  return true;
}

// The manifest of the release file that carries `raw`.
CReleaseManifest CarriedManifest(const CScratchContainer& raw, bool compressed) {
  CReleaseManifest manifest = raw.manifest;
  if (compressed) {
    manifest.carrying = CCarrying::kXz;
    manifest.containerSize = static_cast<uint32_t>(raw.bytes.Size());
  }
  return manifest;
}

// The release file with its container compressed into `file`, when that is
// smaller and QelPatch.exe can still load it within `sizeLimit`; `file` is
// left empty when the container is to stay as it is. False, with `why`, when
// the compressor fails.
bool Compress(const CScratchContainer& raw, uint64_t sizeLimit, CProgressBar& progress,
              std::vector<uint8_t>& file, std::string* why) {
  const uint64_t size = raw.bytes.Size();
  // Unpacked, the container would find no room in the 32-bit program, or
  // with the decoder's dictionary alone would not fit the limit.
  if (size > kCarriedContainerLimit || size + UnpackMemory(size) >= sizeLimit) return true;
  const uint64_t stored = size + ManifestBytes(raw.manifest).size();
  progress.Begin("compressing", 0, size);
  const bool packed =
      CompressedReleaseFile(raw.bytes.Data(), static_cast<uint32_t>(size), raw.manifest, file, why,
                            [&](uint64_t read) { progress.Update(0, read); });
  progress.Finish();
  if (!packed) return false;
  if (file.size() >= stored ||
      !LoadsInTheProgram(file.size(), CarriedManifest(raw, true), sizeLimit, nullptr))
    file.clear();
  return true;
}

// One step as built: its builder (with both folders' listings) and its
// container, kept for the check.
struct CStep {
  CReleaseBuilder builder;
  std::unique_ptr<CScratchContainer> raw;
  bool compressed = false;
  uint64_t size = 0;  // its bytes in the release
};

// The check of what a build wrote to `written`, read back before it replaces
// `output`: the engine applies it to a scratch copy of each old folder.
bool CheckWritten(const CBuildOptions& options, const std::vector<std::unique_ptr<CStep>>& steps,
                  uint64_t sizeLimit, const std::string& written, bool program,
                  const std::string& output, CProgressBar& progress,
                  std::vector<std::string>& warnings, std::string* why) {
  std::vector<CInputStep> inputs;
  for (const std::unique_ptr<CStep>& step : steps) {
    CInputStep input;
    input.size = step->size;
    input.container = step->raw->entries;
    input.release.container = step->raw->entries.data;
    input.release.containerSize = step->raw->entries.size;
    input.release.hasManifest = true;
    input.release.manifest = CarriedManifest(*step->raw, step->compressed);
    inputs.push_back(std::move(input));
  }
  CReleaseInput release;
  if (!OpenWrittenRelease(written, program, std::move(inputs), sizeLimit, release, why))
    return false;
  std::string reason;
  if (!CanVerifyHere(release, options.codePage, &reason)) {
    warnings.push_back(output + ": not verified: " + reason);
    return true;
  }
  const std::string& newFolder = options.operands.back();
  size_t made = 0;
  for (const CInputStep& step : release.steps) made += step.container.entries.size();
  for (size_t k = 0; k < steps.size(); ++k) {
    CVerifyCase check;
    check.oldFolder = options.operands[k];
    check.newFolder = newFolder;
    check.oldListing = &steps[k]->builder.OldListing();
    check.newListing = &steps.back()->builder.NewListing();
    check.release = &release;
    check.codePage = options.codePage;
    check.scratchBeside = FolderOf(output);
    check.keep = options.keep;
    check.progress = [&](uint64_t compared) { progress.Update(compared, 0); };
    progress.Begin("checking", made, 0);
    const bool verified = VerifyRelease(check, &reason);
    progress.Finish();
    if (!verified)
      return Refuse(why, output + ": the release does not turn " + check.oldFolder + " into " +
                             newFolder + ", and is not written: " + reason);
  }
  return true;
}

// Plans, writes and compresses the step from the old folder `k` to the next
// one given, into `step`; `packed` receives the compressed step, or stays
// empty when the container travels as it is.
bool BuildStep(const CBuildOptions& options, size_t k, uint64_t sizeLimit,
               const std::string& beside, CProgressBar& progress, CStep& step,
               std::vector<uint8_t>& packed, std::vector<std::string>& warnings, std::string* why) {
  CReleaseBuilder& builder = step.builder;
  builder.SendWhole(options.whole);
  builder.Keep(options.keep);
  builder.NameVersions(FromVersionOf(options, k), ToVersionOf(options, k));
  if (!builder.Prepare(options.operands[k], options.operands[k + 1], CNameEncoder(options.codePage),
                       FolderRulesOf(options), progress, why))
    return false;
  for (const std::string& warning : builder.PatternWarnings())
    if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end())
      warnings.push_back(warning);
  const auto write = [&](CContainerStream& stream, std::string* reason) {
    return builder.Write(stream, sizeLimit, progress, reason);
  };
  // First as a release compressed as a whole, its archives stored; when that
  // does not pay or is too large to unpack, as a release carried as it is,
  // its archives deflated: from the stored one when it was written whole,
  // planned again when it passed the limit.
  std::unique_ptr<CScratchContainer> raw;
  if (options.compress) {
    raw.reset(new CScratchContainer);
    builder.DeflateArchives(false);
    if (WriteContainer(builder, write, beside, options.codePage, progress, *raw, why)) {
      if (!Compress(*raw, sizeLimit, progress, packed, why)) return false;
    } else if (builder.OverLimit()) {
      raw.reset();
    } else {
      return false;
    }
  }
  step.compressed = !packed.empty();
  if (step.compressed) {
    step.raw = std::move(raw);
    return true;
  }
  const CScratchContainer* stored = raw.get();
  const auto rewrite = [&](CContainerStream& stream, std::string* reason) {
    return builder.WriteDeflated(stored->entries, stream, sizeLimit, progress, reason);
  };
  builder.DeflateArchives(true);
  step.raw.reset(new CScratchContainer);
  return WriteContainer(builder, stored ? CWriteEntries(rewrite) : CWriteEntries(write), beside,
                        options.codePage, progress, *step.raw, why);
}
}  // namespace

bool BuildRelease(const CBuildOptions& options, uint64_t sizeLimit, CProgressBar& progress,
                  CBuiltRelease& built, std::string* why) {
  built = CBuiltRelease();
  if (!CheckTaskPaths(BuildPaths(options), why)) return false;
  // A studio's files and the stub are checked before anything is read or
  // written.
  CProgramLook look;
  if (!LoadProgramLook(options, look, why)) return false;
  CExeOutput exe;
  const bool toExe = !options.exePath.empty();
  if (toExe && !exe.Open(options.stubPath, options.exePath, options.program, look, why))
    return false;
  const bool toFile = !options.releasePath.empty();
  const std::string& output = toFile ? options.releasePath : options.exePath;
  CAtomicOutput file;
  if (toFile && !file.Open(options.releasePath, why)) return false;
  // The same bytes in the release file and in the program.
  CContentDigest stepDigest;
  const auto put = [&](const uint8_t* data, size_t size) {
    stepDigest.Update(data, size);
    if (toFile && !file.Write(data, size)) return Refuse(why, file.Error());
    if (toExe && !exe.Write(data, size)) return Refuse(why, exe.Error());
    return true;
  };

  // Each step goes out as soon as it is made: the compressed step, or its
  // container and manifest.
  std::vector<std::unique_ptr<CStep>> steps;
  std::vector<CChainStep> index;
  for (size_t k = 0; k + 1 < options.operands.size(); ++k) {
    steps.emplace_back(new CStep);
    CStep& step = *steps.back();
    std::vector<uint8_t> packed;
    stepDigest = CContentDigest();
    if (!BuildStep(options, k, sizeLimit, output, progress, step, packed, built.warnings, why))
      return false;
    const std::vector<uint8_t> manifest =
        step.compressed ? std::vector<uint8_t>() : ManifestBytes(step.raw->manifest);
    const CMappedFile& container = step.raw->bytes;
    if (step.compressed
            ? !put(packed.data(), packed.size())
            : !put(container.Data(), container.Size()) || !put(manifest.data(), manifest.size()))
      return false;
    step.size = step.compressed ? packed.size() : container.Size() + manifest.size();
    index.push_back(CChainStep{step.size, stepDigest.Final()});
  }
  uint64_t total = 0;
  for (const CChainStep& step : index) total += step.size;
  if (steps.size() > 1) {
    const std::vector<uint8_t> chain = ChainIndexBytes(index);
    if (!put(chain.data(), chain.size())) return false;
    total += chain.size();
    // Each step is unpacked in its turn, with the whole release in the program.
    std::string reason;
    for (const std::unique_ptr<CStep>& step : steps)
      if (!LoadsInTheProgram(total, CarriedManifest(*step->raw, step->compressed), sizeLimit,
                             &reason))
        return Refuse(why, output + ": " + reason);
  }
  if (toFile && !file.Close()) return Refuse(why, file.Error());
  if (toExe && !exe.Finish(why)) return false;
  if (options.verify &&
      !CheckWritten(options, steps, sizeLimit, toFile ? file.TemporaryPath() : exe.TemporaryPath(),
                    !toFile, output, progress, built.warnings, why))
    return false;
  if (toFile && !file.Commit(why)) return false;
  if (toExe && !exe.Commit(why)) return false;

  for (size_t k = 0; k < steps.size(); ++k) {
    const CReleaseBuilder& builder = steps[k]->builder;
    CBuiltStep done;
    done.oldFolder = options.operands[k];
    done.newFolder = options.operands[k + 1];
    done.counts = builder.Counts();
    for (const std::string& warning : builder.Warnings())
      if (std::find(built.warnings.begin(), built.warnings.end(), warning) == built.warnings.end())
        built.warnings.push_back(warning);
    done.removed = builder.Removed();
    done.kept = builder.Kept();
    done.compressed = steps[k]->compressed;
    done.containerSize = steps[k]->raw->bytes.Size();
    done.compressedSize = steps[k]->compressed ? steps[k]->size : 0;
    built.steps.push_back(std::move(done));
  }
  return true;
}
