#include "builder/build_release.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "base/refusal.h"
#include "builder/program_look.h"
#include "builder/release_input.h"
#include "builder/release_limits.h"
#include "builder/stream_packing.h"
#include "builder/task_paths.h"
#include "builder/verify_release.h"
#include "container/carried_container.h"
#include "container/name_code_page.h"
#include "container/packed_manifest.h"
#include "container/release_chain.h"
#include "pe/exe_output.h"
#include "platform/atomic_output.h"
#include "platform/mapped_file.h"
#include "platform/scratch_file.h"

namespace {
CTaskPaths BuildPaths(const CBuildOptions& options) {
  CTaskPaths paths;
  AddGameFolders(options.operands, paths);
  if (!options.exePath.empty()) paths.inputs.push_back({options.stubPath, "the stub"});
  AddLookInputs(options, paths);
  if (!options.releasePath.empty())
    paths.outputs.push_back({options.releasePath, "the release (-o)"});
  if (!options.exePath.empty()) paths.outputs.push_back({options.exePath, "the program (--exe)"});
  paths.force = options.force;
  return paths;
}

// One container of the release, written to a scratch file beside the first
// output that is never committed, and its manifest's head (the lists wait in
// the builder's scratch files); mapped and validated only for the check.
struct CScratchContainer {
  CAtomicOutput scratch;
  uint64_t size = 0;
  CMappedFile bytes;
  CPatchContainer entries;
  CReleaseManifest manifest;
  CHeldSizes held;  // what the patcher holds of it at once
};

// Writes the entries of the container through a stream.
using CWriteEntries = std::function<bool(CContainerStream& stream, std::string* why)>;

bool WriteContainer(const CReleaseBuilder& builder, const CWriteEntries& write,
                    const std::string& beside, CProgressBar& progress, CScratchContainer& raw,
                    std::string* why) {
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
  raw.size = stream.Size();
  raw.held = stream.Held();
  raw.manifest = builder.ManifestHead(stream.Digests());
  return true;
}

// The container mapped and validated as the patcher will take it, for the
// check.
bool Validate(const std::string& beside, uint32_t codePage, CScratchContainer& raw,
              std::string* why) {
  std::string reason;
  if (!raw.bytes.Open(raw.scratch.TemporaryPath(), why)) return false;
  if (!ValidatePatchContainer(raw.bytes.Data(), static_cast<uint32_t>(raw.bytes.Size()), codePage,
                              &reason, &raw.entries))
    return Refuse(why, beside + ": the patcher would refuse this release: " + reason);
  return true;
}

// The manifest of the release file that carries `raw` as streams, whose
// payload as it travels has `payloadDigest`.
CReleaseManifest CarriedManifest(const CScratchContainer& raw, const CDigest128& payloadDigest) {
  CReleaseManifest manifest = raw.manifest;
  manifest.carrying = CCarrying::kStreams;
  manifest.containerSize = static_cast<uint32_t>(raw.size);
  manifest.payloadDigest = payloadDigest;
  return manifest;
}

// The release file with its container carried as compressed streams into
// `file`, when that is smaller and QelPatch.exe can still load it within
// `sizeLimit` (`pays`). False, with `why`, when the compressor fails.
bool Compress(CReleaseBuilder& builder, const CScratchContainer& raw, uint64_t sizeLimit,
              const std::string& beside, CProgressBar& progress, CScratchFile& file, bool& pays,
              CReleaseManifest& carried, std::string* why) {
  pays = false;
  const uint64_t size = raw.size;
  carried = raw.manifest;
  carried.carrying = CCarrying::kStreams;
  carried.containerSize = static_cast<uint32_t>(size);
  // Unpacked, the container would find no room in the 32-bit program, or
  // with the decoders' memory alone would not fit the limit.
  if (!LoadsInTheProgram(0, carried, raw.held, sizeLimit, nullptr)) return true;
  uint64_t stored = size;
  CDigest128 payloadDigest;
  if (!builder.WriteManifest(
          raw.manifest, [&](const uint8_t*, size_t bytes) { return stored += bytes, true; }, why) ||
      !file.Open(beside, why) ||
      !WriteStreamCarrier(builder, raw.scratch.TemporaryPath(), beside, progress, file,
                          payloadDigest, why))
    return false;
  carried = CarriedManifest(raw, payloadDigest);
  std::vector<uint8_t> manifest, packed;
  const CByteSink out = [&](const uint8_t* data, size_t bytes) {
    manifest.insert(manifest.end(), data, data + bytes);
    return true;
  };
  if (!builder.WriteManifest(carried, out, why) || !PackManifest(manifest, packed, why))
    return false;
  if (!file.Write(packed.data(), packed.size()) || !file.EndWriting())
    return Refuse(why, file.Error());
  pays =
      file.Size() < stored && LoadsInTheProgram(file.Size(), carried, raw.held, sizeLimit, nullptr);
  return true;
}

// One step as built: its builder (with both folders' listings spooled) and
// its container, kept for the check, and the compressed step when it pays.
struct CStep {
  CReleaseBuilder builder;
  std::unique_ptr<CScratchContainer> raw;
  CScratchFile packed;
  bool compressed = false;
  CReleaseManifest carried;  // the manifest of the compressed step
  uint64_t size = 0;         // its bytes in the release
};

// The check of what a build wrote to `written`, read back before it replaces
// `output`: the engine applies it to a scratch copy of each old folder.
bool CheckWritten(const CBuildOptions& options, const std::vector<std::unique_ptr<CStep>>& steps,
                  uint64_t sizeLimit, const std::string& written, bool program,
                  const std::string& output, CProgressBar& progress,
                  std::vector<std::string>& warnings, std::string* why) {
  std::vector<CPatchContainer> containers;
  for (const std::unique_ptr<CStep>& step : steps) {
    if (!Validate(output, options.codePage, *step->raw, why)) return false;
    containers.push_back(step->raw->entries);
  }
  CReleaseInput release;
  CGameFolder lastOld, latest;
  if (!OpenWrittenRelease(written, program, containers, sizeLimit, release, why) ||
      !steps.back()->builder.ReadListings(lastOld, latest, why))
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
    // The old folders' listings wait on the disk until their turn.
    CGameFolder old, next;
    if (k + 1 < steps.size() && !steps[k]->builder.ReadListings(old, next, why)) return false;
    CVerifyCase check;
    check.oldFolder = options.operands[k];
    check.newFolder = newFolder;
    check.oldListing = k + 1 < steps.size() ? &old : &lastOld;
    check.newListing = &latest;
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
// one given, into `step`.
bool BuildStep(const CBuildOptions& options, size_t k, uint64_t sizeLimit,
               const std::string& beside, CProgressBar& progress, CStep& step,
               std::vector<std::string>& warnings, std::string* why) {
  CReleaseBuilder& builder = step.builder;
  builder.ScratchBeside(beside);
  builder.SendWhole(options.whole, options.delta);
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
    if (WriteContainer(builder, write, beside, progress, *raw, why)) {
      if (!Compress(builder, *raw, sizeLimit, beside, progress, step.packed, step.compressed,
                    step.carried, why))
        return false;
    } else if (builder.OverLimit()) {
      raw.reset();
    } else {
      return false;
    }
  }
  if (step.compressed) {
    step.raw = std::move(raw);
    return true;
  }
  const CScratchContainer* stored = raw.get();
  const auto rewrite = [&](CContainerStream& stream, std::string* reason) {
    return builder.WriteDeflated(stored->scratch.TemporaryPath(), stream, sizeLimit, progress,
                                 reason);
  };
  builder.DeflateArchives(true);
  step.raw.reset(new CScratchContainer);
  return WriteContainer(builder, stored ? CWriteEntries(rewrite) : CWriteEntries(write), beside,
                        progress, *step.raw, why);
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
  // The same bytes in the release file and in the program, each step's
  // counted and digested for the chain's index.
  std::string failed;
  CContentDigest stepDigest;
  uint64_t stepBytes = 0;
  const CByteSink out = [&](const uint8_t* data, size_t size) {
    stepDigest.Update(data, size);
    stepBytes += size;
    if (toFile && !file.Write(data, size)) failed = file.Error();
    if (failed.empty() && toExe && !exe.Write(data, size)) failed = exe.Error();
    return failed.empty();
  };

  // Each step goes out as soon as it is made: the compressed step, or its
  // container and manifest.
  std::vector<std::unique_ptr<CStep>> steps;
  std::vector<CChainStep> index;
  for (size_t k = 0; k + 1 < options.operands.size(); ++k) {
    steps.emplace_back(new CStep);
    CStep& step = *steps.back();
    if (!BuildStep(options, k, sizeLimit, output, progress, step, built.warnings, why))
      return false;
    stepDigest = CContentDigest();
    stepBytes = 0;
    if (!ReadFileInPieces(step.compressed ? step.packed.Path() : step.raw->scratch.TemporaryPath(),
                          out, why) ||
        (!step.compressed && !step.builder.WriteManifest(step.raw->manifest, out, why)))
      return failed.empty() ? false : Refuse(why, failed);
    step.size = stepBytes;
    index.push_back(CChainStep{step.size, stepDigest.Final()});
  }
  uint64_t total = 0;
  for (const CChainStep& step : index) total += step.size;
  if (steps.size() > 1) {
    const std::vector<uint8_t> chain = ChainIndexBytes(index);
    if (!out(chain.data(), chain.size())) return Refuse(why, failed);
    total += chain.size();
    // Each step is unpacked in its turn, with the whole release in the program.
    std::string reason;
    for (const std::unique_ptr<CStep>& step : steps)
      if (!LoadsInTheProgram(total, step->compressed ? step->carried : step->raw->manifest,
                             step->raw->held, sizeLimit, &reason))
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
    const CStep& step = *steps[k];
    CBuiltStep done;
    done.oldFolder = options.operands[k];
    done.newFolder = options.operands[k + 1];
    done.counts = step.builder.Counts();
    for (const std::string& warning : step.builder.Warnings())
      if (std::find(built.warnings.begin(), built.warnings.end(), warning) == built.warnings.end())
        built.warnings.push_back(warning);
    done.removed = step.builder.RemovedCount();
    done.kept = step.builder.Kept();
    done.compressed = step.compressed;
    done.containerSize = step.raw->size;
    done.compressedSize = step.compressed ? step.packed.Size() : 0;
    built.steps.push_back(std::move(done));
  }
  return true;
}
