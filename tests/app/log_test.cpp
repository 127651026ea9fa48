#include "app/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace tolvane {
namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogDirectory(dir_.string());
    SetDebugOutput([this](std::string_view t) { lines_.emplace_back(t); });
  }
  void TearDown() override {
    LogLevel = 0;
    SetupLogger();
    SetDebugOutput({});
  }
  std::string ReadLog() {
    std::ifstream in(dir_ / "Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const test::TempFolder folder_{"log"};
  const std::filesystem::path dir_{folder_.Root()};
  std::vector<std::string> lines_;
};

TEST_F(LogTest, LevelZeroLogsNothingAnywhere) {
  LogLevel = 0;
  SetupLogger();
  LogPrint("hello %d", 1);
  uint8_t b[4] = {1, 2, 3, 4};
  LogHex(b, sizeof b, 2, "T");
  EXPECT_TRUE(lines_.empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Log.txt"));
}

TEST_F(LogTest, LevelOneGoesToDebuggerWithPrefixAndIsCut) {
  LogLevel = 1;
  SetupLogger();
  LogPrint("value=%d", 42);
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0], "BY: value=42");
  LogPrint("%s", std::string(2000, 'x').c_str());
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_EQ(lines_[1].size(), 511u);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Log.txt"));
}

TEST_F(LogTest, FileVariantAppendsEntriesWithCarriageReturnAndTime) {
  LogLevel = 2;
  SetupLogger();
  LogPrint("first");
  LogPrint("second %s", "entry");
  std::string log = ReadLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], '\r');
  // "\rMM:SS.mmm   first\rMM:SS.mmm   second entry"
  EXPECT_EQ(log.find("   first"), 10u);
  EXPECT_NE(log.find("\r", 1), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 12), "second entry");
  EXPECT_TRUE(lines_.empty());
}

TEST_F(LogTest, LargeLogIsEmptiedAtSetupSmallOneKept) {
  {
    std::ofstream out(dir_ / "Log.txt", std::ios::binary);
    out << std::string(512000, 'a');
  }
  LogLevel = 2;
  SetupLogger();
  EXPECT_EQ(std::filesystem::file_size(dir_ / "Log.txt"), 512000u);
  {
    std::ofstream out(dir_ / "Log.txt", std::ios::binary | std::ios::app);
    out << 'b';
  }
  SetupLogger();
  EXPECT_EQ(std::filesystem::file_size(dir_ / "Log.txt"), 0u);
  LogPrint("new");
  EXPECT_NE(ReadLog().find("new"), std::string::npos);
}

TEST_F(LogTest, UnwritableLogFolderFallsBackToDebugger) {
  SetLogDirectory((dir_ / "missing" / "deeper").string());
  LogLevel = 2;
  SetupLogger();
  ASSERT_FALSE(lines_.empty());
  EXPECT_EQ(lines_.back(), "Open Log failed");
  LogPrint("still logged");
  EXPECT_EQ(lines_.back(), "BY: still logged");
}

TEST_F(LogTest, HexDumpSplitsLinesWithTitle) {
  LogLevel = 1;
  SetupLogger();
  uint8_t b[20];
  for (int i = 0; i < 20; ++i) b[i] = uint8_t(i + 0xA0);
  LogHex(b, sizeof b, 8, "AB");
  ASSERT_EQ(lines_.size(), 3u);
  EXPECT_EQ(lines_[0], "BY: \nAB a0 a1 a2 a3 a4 a5 a6 a7 ");
  EXPECT_EQ(lines_[1], "BY: AB a8 a9 aa ab ac ad ae af ");
  EXPECT_EQ(lines_[2], "BY: AB b0 b1 b2 b3 ");
}

TEST_F(LogTest, HexDumpExactLinesAndOneLineMode) {
  LogLevel = 1;
  SetupLogger();
  uint8_t b[16] = {};
  LogHex(b, sizeof b, 8, "T");
  EXPECT_EQ(lines_.size(), 2u);  // no empty trailing title line
  lines_.clear();
  LogHex(b, 3, 0, "T");
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_EQ(lines_[0], "BY: T 00 00 00 ");
  lines_.clear();
  LogHex(nullptr, 3, 0, "T");
  LogHex(b, 0, 0, "T");
  EXPECT_TRUE(lines_.empty());
}

TEST_F(LogTest, HexDumpNeverOutgrowsTheLineBuffer) {
  LogLevel = 2;
  SetupLogger();
  std::vector<uint8_t> b(400, 0x5A);
  LogHex(b.data(), b.size(), 0, nullptr);
  std::string log = ReadLog();
  std::vector<std::string> entries;
  for (size_t pos = 0; (pos = log.find('\r', pos)) != std::string::npos;) {
    size_t next = log.find('\r', pos + 1);
    entries.push_back(log.substr(pos + 13, next == std::string::npos ? next : next - pos - 13));
    pos = pos + 1;
  }
  ASSERT_EQ(entries.size(), 3u);  // 170 + 170 + 60 byte texts
  size_t bytes = 0;
  for (const auto& e : entries) {
    EXPECT_LE(e.size(), 511u);
    bytes += e.size() / 3;
  }
  EXPECT_EQ(bytes, 400u);
}

}  // namespace
}  // namespace tolvane
