#include "builder/build_release.h"

#include <functional>
#include <memory>

#include "base/refusal.h"
#include "builder/release_input.h"
#include "builder/release_limits.h"
#include "builder/task_paths.h"
#include "builder/verify_release.h"
#include "container/carried_container.h"
#include "container/name_code_page.h"
#include "pe/exe_output.h"
#include "platform/atomic_output.h"
#include "platform/mapped_file.h"
#include "platform/scratch_file.h"

namespace {
CTaskPaths BuildPaths(const CBuildOptions& options) {
  CTaskPaths paths;
  paths.folders = {{options.operands[0], "the old game folder"},
                   {options.operands[1], "the new game folder"}};
  if (!options.exePath.empty()) paths.inputs.push_back({options.stubPath, "the stub"});
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

// The manifest of the release file that carries `raw`.
CReleaseManifest CarriedManifest(const CScratchContainer& raw, bool compressed) {
  CReleaseManifest manifest = raw.manifest;
  if (compressed) {
    manifest.carrying = CCarrying::kXz;
    manifest.containerSize = static_cast<uint32_t>(raw.size);
  }
  return manifest;
}

// The release file with its container compressed into `file`, when that is
// smaller and QelPatch.exe can still load it within `sizeLimit` (`pays`).
// False, with `why`, when the compressor fails.
bool Compress(const CReleaseBuilder& builder, const CScratchContainer& raw, uint64_t sizeLimit,
              const std::string& beside, CProgressBar& progress, CScratchFile& file, bool& pays,
              std::string* why) {
  pays = false;
  const uint64_t size = raw.size;
  // Unpacked, the container would find no room in the 32-bit program, or
  // with the decoder's dictionary alone would not fit the limit.
  if (size > kCarriedContainerLimit || size + UnpackMemory(size) >= sizeLimit) return true;
  uint64_t stored = size;
  if (!builder.WriteManifest(
          raw.manifest, [&](const uint8_t*, size_t bytes) { return stored += bytes, true; }, why) ||
      !file.Open(beside, why))
    return false;
  progress.Begin("compressing", 0, size);
  const CByteSink out = [&](const uint8_t* data, size_t bytes) { return file.Write(data, bytes); };
  const CPackProgress read = [&](uint64_t bytes) { progress.Update(0, bytes); };
  CContainerPacker packer(size, out, read);
  std::string unread;
  ReadFileInPieces(
      raw.scratch.TemporaryPath(),
      [&](const uint8_t* data, size_t bytes) { return packer.Take(data, bytes); }, &unread);
  const bool packed = unread.empty() && packer.Finish(why) &&
                      builder.WriteManifest(CarriedManifest(raw, true), out, why) &&
                      file.EndWriting();
  progress.Finish();
  if (!unread.empty()) return Refuse(why, unread);
  if (file.Failed()) return Refuse(why, file.Error());
  if (!packed) return false;
  pays = file.Size() < stored &&
         LoadsInTheProgram(file.Size(), CarriedManifest(raw, true), sizeLimit, nullptr);
  return true;
}

// The check of what a build wrote to `written`, read back before it replaces
// `output`: the engine applies it to a scratch copy of the old folder.
bool CheckWritten(const CBuildOptions& options, const CReleaseBuilder& builder,
                  CScratchContainer& raw, uint64_t sizeLimit, const std::string& written,
                  bool program, const std::string& output, CProgressBar& progress,
                  std::vector<std::string>& warnings, std::string* why) {
  CReleaseInput release;
  CGameFolder old, latest;
  if (!Validate(output, options.codePage, raw, why) ||
      !OpenWrittenRelease(written, program, raw.entries, sizeLimit, release, why) ||
      !builder.ReadListings(old, latest, why))
    return false;
  std::string reason;
  if (!CanVerifyHere(release, options.codePage, &reason)) {
    warnings.push_back(output + ": not verified: " + reason);
    return true;
  }
  CVerifyCase check;
  check.oldFolder = options.operands[0];
  check.newFolder = options.operands[1];
  check.oldListing = &old;
  check.newListing = &latest;
  check.release = &release;
  check.codePage = options.codePage;
  check.scratchBeside = FolderOf(output);
  check.keep = options.keep;
  check.progress = [&](uint64_t compared) { progress.Update(compared, 0); };
  progress.Begin("checking", raw.entries.entries.size(), 0);
  const bool verified = VerifyRelease(check, &reason);
  progress.Finish();
  if (!verified)
    return Refuse(why, output + ": the release does not turn " + options.operands[0] + " into " +
                           options.operands[1] + ", and is not written: " + reason);
  return true;
}
}  // namespace

bool BuildRelease(const CBuildOptions& options, uint64_t sizeLimit, CProgressBar& progress,
                  CBuiltRelease& built, std::string* why) {
  built = CBuiltRelease();
  if (!CheckTaskPaths(BuildPaths(options), why)) return false;
  // The stub is checked before anything is read or written.
  CExeOutput exe;
  const bool toExe = !options.exePath.empty();
  if (toExe && !exe.Open(options.stubPath, options.exePath, options.program, why)) return false;
  const bool toFile = !options.releasePath.empty();
  const std::string& beside = toFile ? options.releasePath : options.exePath;

  CReleaseBuilder builder;
  builder.ScratchBeside(beside);
  builder.SendWhole(options.whole);
  builder.Keep(options.keep);
  builder.NameVersions(FromVersionOf(options), ToVersionOf(options));
  if (!builder.Prepare(options.operands[0], options.operands[1], CNameEncoder(options.codePage),
                       FolderRulesOf(options), progress, why))
    return false;
  built.warnings = builder.PatternWarnings();
  const auto write = [&](CContainerStream& stream, std::string* reason) {
    return builder.Write(stream, sizeLimit, progress, reason);
  };
  // First as a release compressed as a whole, its archives stored; when that
  // does not pay or is too large to unpack, as a release carried as it is,
  // its archives deflated: from the stored one when it was written whole,
  // planned again when it passed the limit.
  std::unique_ptr<CScratchContainer> raw;
  CScratchFile packed;  // the release file, when compressed
  bool compressed = false;
  if (options.compress) {
    raw.reset(new CScratchContainer);
    builder.DeflateArchives(false);
    if (WriteContainer(builder, write, beside, progress, *raw, why)) {
      if (!Compress(builder, *raw, sizeLimit, beside, progress, packed, compressed, why))
        return false;
    } else if (builder.OverLimit()) {
      raw.reset();
    } else {
      return false;
    }
  }
  if (!compressed) {
    std::unique_ptr<CScratchContainer> deflated(new CScratchContainer);
    const CScratchContainer* stored = raw.get();
    const auto rewrite = [&](CContainerStream& stream, std::string* reason) {
      return builder.WriteDeflated(stored->scratch.TemporaryPath(), stream, sizeLimit, progress,
                                   reason);
    };
    builder.DeflateArchives(true);
    if (!WriteContainer(builder, stored ? CWriteEntries(rewrite) : CWriteEntries(write), beside,
                        progress, *deflated, why))
      return false;
    raw = std::move(deflated);
  }

  CAtomicOutput file;
  if (toFile && !file.Open(options.releasePath, why)) return false;
  // The same bytes in the release file and in the program: the compressed
  // release file, or the container and its manifest.
  std::string failed;
  const CByteSink out = [&](const uint8_t* data, size_t size) {
    if (toFile && !file.Write(data, size)) failed = file.Error();
    if (failed.empty() && toExe && !exe.Write(data, size)) failed = exe.Error();
    return failed.empty();
  };
  if (!ReadFileInPieces(compressed ? packed.Path() : raw->scratch.TemporaryPath(), out, why) ||
      (!compressed && !builder.WriteManifest(raw->manifest, out, why)))
    return failed.empty() ? false : Refuse(why, failed);
  if (toFile && !file.Close()) return Refuse(why, file.Error());
  if (toExe && !exe.Finish(why)) return false;
  if (options.verify &&
      !CheckWritten(options, builder, *raw, sizeLimit,
                    toFile ? file.TemporaryPath() : exe.TemporaryPath(), !toFile,
                    toFile ? options.releasePath : options.exePath, progress, built.warnings, why))
    return false;
  if (toFile && !file.Commit(why)) return false;
  if (toExe && !exe.Commit(why)) return false;

  built.counts = builder.Counts();
  built.warnings.insert(built.warnings.end(), builder.Warnings().begin(), builder.Warnings().end());
  built.removed = builder.RemovedCount();
  built.kept = builder.Kept();
  built.compressed = compressed;
  built.containerSize = raw->size;
  built.compressedSize = compressed ? packed.Size() : 0;
  return true;
}
