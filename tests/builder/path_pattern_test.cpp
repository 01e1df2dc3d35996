#include "builder/path_pattern.h"

#include <gtest/gtest.h>

TEST(PathPattern, MatchesPartsAsWindowsNamesThem) {
  const struct {
    const char* pattern;
    const char* path;
    bool matches;
  } cases[] = {
      {"config/game.ini", "config/game.ini", true},
      {"CONFIG/Game.INI", "config/game.ini", true},  // letter case aside
      {"config/*.ini", "config/game.ini", true},
      {"config/*.ini", "config/sub/game.ini", false},  // '*' stays in its part
      {"*", "a/b", false},
      {"con?ig/x", "config/x", true},
      {"con?ig/x", "con/ig/x", false},  // '?' is no separator
      {"**/*.ini", "game.ini", true},   // "**/" may stand for no part
      {"**/*.ini", "a/b/c/game.ini", true},
      {"data/**", "data/a/b.pkg", true},
      {"data/**/x.pkg", "data/x.pkg", true},
      {"data/**/x.pkg", "database/x.pkg", false},
      {"*.pkg", "map.pkg.bak", false},
      {"", "", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesPathPattern(c.pattern, c.path), c.matches) << c.pattern << " on " << c.path;
}
