#include "app/status_lines.h"

#include <algorithm>

namespace {
const char kCut[] = "...";

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// Words joined while they fit a line; a word wider than a line takes one of
// its own.
std::vector<std::string> Wrap(const std::vector<std::string>& words, int width,
                              const CTextWidth& widthOf) {
  std::vector<std::string> lines;
  for (const std::string& word : words) {
    if (!lines.empty()) {
      std::string joined = lines.back() + " " + word;
      if (widthOf(joined) <= width) {
        lines.back() = std::move(joined);
        continue;
      }
    }
    lines.push_back(word);
  }
  return lines;
}

bool Fits(const std::vector<std::string>& lines, int width, int most, const CTextWidth& widthOf) {
  if (lines.size() > static_cast<size_t>(most)) return false;
  for (const std::string& line : lines)
    if (widthOf(line) > width) return false;
  return true;
}

// Where each character of the UTF-8 `word` starts, and its end.
std::vector<size_t> Boundaries(const std::string& word) {
  std::vector<size_t> starts;
  for (size_t at = 0; at < word.size(); ++at)
    if ((static_cast<uint8_t>(word[at]) & 0xC0) != 0x80) starts.push_back(at);
  starts.push_back(word.size());
  return starts;
}

// `word` keeping `keep` of its characters: a third before the cut, the rest
// (a file's name) after it.
std::string Shortened(const std::string& word, const std::vector<size_t>& boundaries, size_t keep) {
  const size_t characters = boundaries.size() - 1;
  const size_t head = keep / 3;
  return word.substr(0, boundaries[head]) + kCut +
         word.substr(boundaries[characters - (keep - head)]);
}
}  // namespace

std::vector<std::string> FitStatusText(const std::string& text, int width, int lines,
                                       const CTextWidth& widthOf) {
  if (text.empty()) return {};
  if (widthOf(text) <= width) return {text};
  std::vector<std::string> words = Words(text);
  std::vector<std::string> wrapped = Wrap(words, width, widthOf);
  if (words.empty() || Fits(wrapped, width, lines, widthOf)) return wrapped;

  size_t longest = 0;
  for (size_t i = 1; i < words.size(); ++i)
    if (words[i].size() > words[longest].size()) longest = i;
  const std::string word = words[longest];
  const std::vector<size_t> boundaries = Boundaries(word);
  // The most characters kept that let the text fit.
  size_t low = 0, high = boundaries.size() - 1;
  while (low < high) {
    const size_t keep = (low + high + 1) / 2;
    words[longest] = Shortened(word, boundaries, keep);
    if (Fits(Wrap(words, width, widthOf), width, lines, widthOf))
      low = keep;
    else
      high = keep - 1;
  }
  words[longest] = Shortened(word, boundaries, low);
  wrapped = Wrap(words, width, widthOf);
  if (wrapped.size() > static_cast<size_t>(lines)) wrapped.resize(static_cast<size_t>(lines));
  return wrapped;
}
