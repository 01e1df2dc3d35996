#include "tests/reliability/crash_disk_model.h"

#include <algorithm>

namespace {
using platform::FileOp;

std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool ChangesNames(const CDiskOp& op) {
  return op.kind == CDiskOp::kLink || op.kind == CDiskOp::kRename || op.kind == CDiskOp::kUnlink ||
         op.kind == CDiskOp::kMakeFolder;
}

bool ChangesData(const CDiskOp& op) {
  return op.kind == CDiskOp::kTruncate || op.kind == CDiskOp::kWrite;
}

bool IsBarrier(const CDiskOp& op) {
  return op.kind == CDiskOp::kFlush || op.kind == CDiskOp::kSyncFolder;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}
}  // namespace

std::string CDiskState::Key() const {
  std::string key;
  for (const auto& file : files)
    key += file.first + '\0' + std::to_string(file.second.size()) + ':' +
           std::to_string(Fnv1a(file.second)) + '\n';
  for (const std::string& folder : folders) key += folder + "/\n";
  return key;
}

CCrashLog::CCrashLog(const CDiskState& baseline, const std::string& root)
    : root_(root), baseline_(baseline), folders_(baseline.folders) {
  for (const auto& file : baseline_.files) names_[file.first] = files_++;
}

bool CCrashLog::Relative(const std::string& path, std::string& relative) const {
  if (path + '/' == root_) {
    relative.clear();
    return true;
  }
  if (path.compare(0, root_.size(), root_) != 0) return false;
  relative = path.substr(root_.size());
  return true;
}

bool CCrashLog::Add(const platform::CFileEvent& event, std::string& why) {
  CDiskOp op;
  if (!Relative(event.path, op.path) || (!event.to.empty() && !Relative(event.to, op.from))) {
    why = "outside the game folder: " + event.path + " " + event.to;
    return false;
  }
  const auto named = names_.find(op.path);
  const bool known = named != names_.end();
  if (known) op.file = named->second;
  switch (event.op) {
    case FileOp::Create:
      if (known) {
        op.kind = CDiskOp::kTruncate;
      } else {
        op.kind = CDiskOp::kLink;
        op.file = names_[op.path] = files_++;
      }
      break;
    case FileOp::Write:
    case FileOp::Flush:
      if (!known) {
        why = "written or flushed but never created: " + op.path;
        return false;
      }
      op.kind = event.op == FileOp::Write ? CDiskOp::kWrite : CDiskOp::kFlush;
      op.position = event.position;
      op.bytes = event.bytes;
      break;
    case FileOp::Replace:
      if (!known) {
        why = "renamed but never created: " + op.path;
        return false;
      }
      op.kind = CDiskOp::kRename;
      std::swap(op.path, op.from);  // the event names the old path first
      names_.erase(op.from);
      names_[op.path] = op.file;
      break;
    case FileOp::Delete:
      if (!known) return true;  // deleting an absent file changes nothing
      op.kind = CDiskOp::kUnlink;
      names_.erase(op.path);
      break;
    case FileOp::CreateFolder:
      if (!folders_.insert(op.path).second) return true;
      op.kind = CDiskOp::kMakeFolder;
      break;
    case FileOp::SyncFolder:
      op.kind = CDiskOp::kSyncFolder;
      break;
    case FileOp::Close:  // changes nothing on disk
      return true;
    case FileOp::RemoveFolder:  // an empty folder: nothing the states judge
      folders_.erase(op.path);
      return true;
    default:
      why = std::string("not a change to the disk: ") + platform::FileOpName(event.op);
      return false;
  }
  ops_.push_back(std::move(op));
  return true;
}

CDiskState CCrashLog::StateWith(const CPersisted& persisted) const {
  std::vector<std::vector<uint8_t>> data(static_cast<size_t>(files_));
  std::map<std::string, int> names;
  int next = 0;
  for (const auto& file : baseline_.files) {
    names[file.first] = next;
    data[static_cast<size_t>(next++)] = file.second;
  }
  std::set<std::string> folders = baseline_.folders;
  for (size_t i = 0; i < persisted.size(); ++i) {
    if (!persisted[i]) continue;
    const CDiskOp& op = ops_[i];
    std::vector<uint8_t>& bytes = data[static_cast<size_t>(std::max(op.file, 0))];
    switch (op.kind) {
      case CDiskOp::kLink:
        names[op.path] = op.file;
        break;
      case CDiskOp::kTruncate:
        bytes.clear();
        break;
      case CDiskOp::kWrite:
        if (bytes.size() < op.position + op.bytes.size())
          bytes.resize(static_cast<size_t>(op.position + op.bytes.size()));
        std::copy(op.bytes.begin(), op.bytes.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(op.position));
        break;
      case CDiskOp::kRename: {
        const auto old = names.find(op.from);
        if (old != names.end() && old->second == op.file) names.erase(old);
        names[op.path] = op.file;
        break;
      }
      case CDiskOp::kUnlink: {
        const auto old = names.find(op.path);
        if (old != names.end() && old->second == op.file) names.erase(old);
        break;
      }
      case CDiskOp::kMakeFolder:
        folders.insert(op.path);
        break;
      case CDiskOp::kFlush:
      case CDiskOp::kSyncFolder:
        break;
    }
  }
  // A folder lasts only with the folders above it; a file only with its folder.
  CDiskState state;
  for (const std::string& folder : folders) {
    const std::string parent = ParentOf(folder);
    if (parent.empty() || state.folders.count(parent)) state.folders.insert(folder);
  }
  for (const auto& name : names) {
    const std::string parent = ParentOf(name.first);
    if (parent.empty() || state.folders.count(parent))
      state.files[name.first] = data[static_cast<size_t>(name.second)];
  }
  return state;
}

size_t CCrashLog::FlushedUpTo(int file, size_t n) const {
  for (size_t i = n; i > 0; --i)
    if (ops_[i - 1].kind == CDiskOp::kFlush && ops_[i - 1].file == file) return i;
  return 0;
}

std::vector<CPersisted> CCrashLog::OrderedCrashes(size_t n) const {
  size_t barrier = 0;  // past the last flush or folder sync
  for (size_t i = n; i > 0 && barrier == 0; --i)
    if (IsBarrier(ops_[i - 1])) barrier = i;
  std::vector<size_t> names;  // the name changes, in order
  for (size_t i = 0; i < n; ++i)
    if (ChangesNames(ops_[i])) names.push_back(i);
  size_t lasting = 0;
  while (lasting < names.size() && names[lasting] < barrier) ++lasting;

  std::vector<CPersisted> crashes;
  for (size_t kept = lasting; kept <= names.size(); ++kept) {
    CPersisted base(n, false);
    for (size_t i = 0; i < n; ++i) base[i] = IsBarrier(ops_[i]);
    for (size_t j = 0; j < kept; ++j) base[names[j]] = true;
    // Each file's data up to its flush, or a rename of it that lasted,
    // has reached the disk; the writes after it are its tail.
    std::map<int, std::vector<size_t>> tails;
    for (size_t i = 0; i < n; ++i) {
      if (!ChangesData(ops_[i])) continue;
      size_t forced = FlushedUpTo(ops_[i].file, n);
      for (size_t j = 0; j < kept; ++j)
        if (ops_[names[j]].kind == CDiskOp::kRename && ops_[names[j]].file == ops_[i].file)
          forced = std::max(forced, names[j]);
      if (i < forced)
        base[i] = true;
      else
        tails[ops_[i].file].push_back(i);
    }
    // The tails kept whole, one file's tail cut after each of its writes,
    // and every tail lost.
    CPersisted whole = base, none = base;
    for (const auto& tail : tails)
      for (size_t i : tail.second) whole[i] = true;
    crashes.push_back(whole);
    if (tails.empty()) continue;
    crashes.push_back(none);
    for (const auto& tail : tails) {
      for (size_t keep = 0; keep < tail.second.size(); ++keep) {
        CPersisted cut = whole;
        for (size_t j = keep; j < tail.second.size(); ++j) cut[tail.second[j]] = false;
        crashes.push_back(cut);
      }
    }
  }
  return crashes;
}

std::vector<CPersisted> CCrashLog::WeakCrashes(size_t n, std::mt19937& random) const {
  CPersisted durable(n, false);
  std::vector<size_t> open;  // operations that may or may not have reached the disk
  for (size_t i = 0; i < n; ++i) {
    const CDiskOp& op = ops_[i];
    if (IsBarrier(op)) {
      durable[i] = true;
    } else if (ChangesData(op)) {
      durable[i] = i < FlushedUpTo(op.file, n);
    } else {
      const std::string folder = ParentOf(op.path);
      for (size_t j = i + 1; j < n && !durable[i]; ++j)
        durable[i] = ops_[j].kind == CDiskOp::kSyncFolder && ops_[j].path == folder;
    }
    if (!durable[i]) open.push_back(i);
  }

  const size_t kLastFew = 6;
  const int kRandom = 24;
  std::vector<CPersisted> crashes;
  const size_t few = std::min(kLastFew, open.size());
  const size_t earlier = open.size() - few;
  for (bool keepEarlier : {true, false}) {
    if (!keepEarlier && earlier == 0) break;
    for (uint32_t subset = 0; subset < (1u << few); ++subset) {
      CPersisted crash = durable;
      for (size_t j = 0; j < earlier; ++j) crash[open[j]] = keepEarlier;
      for (size_t j = 0; j < few; ++j) crash[open[earlier + j]] = (subset >> j) & 1;
      crashes.push_back(crash);
    }
  }
  for (int r = 0; r < kRandom && open.size() > kLastFew; ++r) {
    CPersisted crash = durable;
    for (size_t i : open) crash[i] = random() & 1;
    crashes.push_back(crash);
  }
  return crashes;
}
