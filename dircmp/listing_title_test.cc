#include "dircmp/listing_title.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The title built from a command line given as words (argument zero first).
command_title title_for(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  command_title title;
  build_listing_title(title, argv.data());
  return title;
}

TEST(BuildListingTitle, OptionWordsEachFollowedByABlank) {
  struct title_case {
    std::vector<std::string> words;
    std::string title;
  };
  const title_case cases[] = {
      {{"ovarn", "a", "b"}, "varn "},
      {{"ovarn", "-r", "-l", "a", "b"}, "varn -r -l "},
      {{"ovarn", "-", "-c5", "-", "a", "b"}, "varn -c5 "},
      {{"ovarn", "-rl", "-", "-", "-"}, "varn -rl "},  // operands are never title words
  };
  for (const title_case& c : cases) {
    const command_title title = title_for(c.words);
    EXPECT_EQ(title.listing_title, c.title);
    EXPECT_EQ(title.title_end, c.title.size());
  }
}

TEST(CompleteListingTitle, ReplacesThePreviousPair) {
  command_title title = title_for({"ovarn", "-l", "a", "b"});
  complete_listing_title(title, "a/x", "b/x");
  EXPECT_STREQ(title.listing_title, "varn -l a/x b/x");
  complete_listing_title(title, "a/longer-name", "b/longer-name");
  EXPECT_STREQ(title.listing_title, "varn -l a/longer-name b/longer-name");
  complete_listing_title(title, "a/y", "b/y");
  EXPECT_STREQ(title.listing_title, "varn -l a/y b/y");
}

TEST(BuildListingTitle, LongOptionWordsAreCutToFit) {
  const std::string word = "-" + std::string(1500, 's');
  command_title title = title_for({"ovarn", word, word, "a", "b"});
  EXPECT_EQ(strlen(title.listing_title), static_cast<size_t>(kListingTitleSize - 1));
  EXPECT_EQ(title.title_end, static_cast<size_t>(kListingTitleSize - 1));
  complete_listing_title(title, "a/x", "b/x");
  EXPECT_EQ(strlen(title.listing_title), static_cast<size_t>(kListingTitleSize - 1));
}

TEST(CompleteListingTitle, LongPathsAreCutToFit) {
  command_title title = title_for({"ovarn", "-l", "a", "b"});
  const std::string path(1500, 'p');
  complete_listing_title(title, path.c_str(), path.c_str());
  const std::string text = title.listing_title;
  EXPECT_EQ(text.size(), static_cast<size_t>(kListingTitleSize - 1));
  EXPECT_EQ(text.substr(0, 8 + path.size() + 1), "varn -l " + path + " ");
}

}  // namespace
