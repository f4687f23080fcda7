#include "base/looks_like_text.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "engine/engine_test_files.h"

namespace {

using LooksLikeText = engine_test;

std::string padded(std::string start, size_t size, char fill = 'x') {
  start.resize(size, fill);
  return start;
}

TEST_F(LooksLikeText, BothFormsAgree) {
  struct text_case {
    const char* name;
    std::string content;
    bool text;
  };
  const text_case cases[] = {
      {"empty", "", true},
      {"plain lines", "hello\nworld\n", true},
      {"0x107 low byte first, 32 bytes", padded("\x07\x01", 32), false},
      {"0x107 low byte first, 31 bytes", padded("\x07\x01", 31), true},
      {"0x108", padded("\x08\x01", 40), false},
      {"0x10B", padded("\x0B\x01", 40), false},
      {"0xCC", padded(std::string("\xCC\x00", 2), 40), false},
      {"0x10B high byte first", padded(std::string("\x00\x00\x01\x0B", 4), 32), false},
      {"0x107 high byte first", padded(std::string("ab\x01\x07", 4), 64), false},
      {"0x107 high byte first in bytes 0 and 1", padded("\x01\x07", 64), true},
      {"0xE9 after the first 1024 bytes", padded("", 1024) + "\xE9", true},
      {"0xE9 as byte 1024", padded("", 1023) + "\xE9", false},
      {"0xE9 at the start", "\xE9t\xE9\n", false},
      {"0x80", "a\x80\n", false},
      {"0x7F", "a\x7F\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = make_file(c.content);
    FILE* stream = fopen(path.c_str(), "r");
    ASSERT_NE(stream, nullptr);
    getc(stream);  // the test starts from the beginning whatever was read
    EXPECT_EQ(looks_like_text(stream), c.text);
    EXPECT_EQ(ftell(stream), static_cast<long>(std::min<size_t>(c.content.size(), 1024)));
    fclose(stream);
    int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(looks_like_text(fd), c.text);
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(std::min<size_t>(c.content.size(), 1024)));
    close(fd);
  }
}

TEST_F(LooksLikeText, UnreadableDescriptorCountsAsEmpty) {
  EXPECT_TRUE(looks_like_text(-1));
}

}  // namespace
