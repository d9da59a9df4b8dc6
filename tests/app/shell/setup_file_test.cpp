// The views' set-up files as outside input: the strict line reader both readers share, and the
// property that random bytes and random text are never taken for a set-up, while every file
// that is taken writes back to one that reads the same; and saving one by name.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "app/classic/classic_config.h"
#include "app/newview/nfg_file.h"
#include "app/shell/setup_lines.h"
#include "platform/file_size_limit.h"
#include "platform/other_user.h"
#include "platform/test_folder.h"

namespace {

struct LineCase {
  const char* line;
  char kind;  // 'i' number 0-99, 't' text of at most 5, 'd' date
  bool ok;
  const char* reason;  // part of the reason when refused
};

TEST(SetupLines, EachLineMustBeWhatItsFieldHolds) {
  const LineCase cases[] = {
      {"12", 'i', true, ""},
      {"+3 \t\r", 'i', true, ""},
      {"-0", 'i', true, ""},
      {"", 'i', false, "line 1 is not a number (f)"},
      {" 1", 'i', false, "not a number"},
      {"1x", 'i', false, "not a number"},
      {"-", 'i', false, "not a number"},
      {"100", 'i', false, "line 1 is 100 (f), not a value from 0 to 99"},
      {"99999999999999999999", 'i', false, "not a value from 0 to 99"},
      {"a b.c", 't', true, ""},
      {"abcdef", 't', false, "longer than 5 characters"},
      {"a\tb", 't', false, "not text"},
      {"\x81", 't', false, "not text"},
      {"\xE9t\xE9", 't', true, ""},
      {"37622.000000", 'd', true, ""},
      {"37622.5", 'd', true, ""},
      {"+37622.5", 'd', true, ""},
      {"1e5", 'd', false, "not a date"},
      {"nan", 'd', false, "not a date"},
      {"1.2.3", 'd', false, "not a date"},
      {"99999999", 'd', false, "not a calendar day"},
  };
  for (const LineCase& c : cases) {
    const std::string text = std::string(c.line) + "\n";
    CSetupLines r(text);
    int i = 0;
    std::string t;
    double d = 0;
    bool ok = c.kind == 'i' ? r.Int(i, 0, 99, "f") : c.kind == 't' ? r.Text(t, 5, "f") : r.Date(d, "f");
    EXPECT_EQ(ok, c.ok) << c.line;
    if (!c.ok) { EXPECT_NE(r.Error().find(c.reason), std::string::npos) << c.line << ": " << r.Error(); }
  }
  CSetupLines r("1\n\n  \r\n");
  int v = 0;
  EXPECT_TRUE(r.Int(v, 0, 1, "f") && r.End());  // blank lines may follow the end
  CSetupLines more("1\n2\n");
  EXPECT_FALSE(more.Int(v, 0, 1, "f") && more.End());
  EXPECT_EQ(more.Error(), "line 2 follows the end of the set-up");
  EXPECT_FALSE(more.Int(v, 0, 1, "flag"));
  EXPECT_EQ(more.Error(), "line 2 follows the end of the set-up");  // the first reason stays
  CSetupLines empty("0\n");
  EXPECT_FALSE(empty.Index(v, 0, "cabinet index"));
  EXPECT_EQ(empty.Error(), "line 1 is 0 (cabinet index), but the list it points into is empty");
  CSetupLines shortFile("1\n");
  EXPECT_FALSE(shortFile.Int(v, 0, 1, "a") && shortFile.Int(v, 0, 1, "b"));
  EXPECT_EQ(shortFile.Error(), "the file ends at line 1, before the b");
}

// Random outside input: bytes of any value, or text files of random lines of words and numbers.
std::string RandomBytes(std::mt19937& rng) {
  std::string s(std::uniform_int_distribution<size_t>(0, 3000)(rng), '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string RandomText(std::mt19937& rng) {
  static const char* const kWords[] = {"QAV", "Configuration", "File", "Version", "NG.1", "NG.2", "road", "I-5",
                                       "x.dat", "0", "1", "-1", "7", "37622.000000", "", " "};
  std::string s;
  const int lines = std::uniform_int_distribution<int>(1, 80)(rng);
  for (int l = 0; l < lines; ++l) {
    const int words = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int w = 0; w < words; ++w) {
      if (w > 0) s += ' ';
      if (rng() % 3 == 0) s += std::to_string(static_cast<int>(rng() % 400) - 20);
      else s += kWords[rng() % std::size(kWords)];
    }
    s += rng() % 2 ? "\r\n" : "\n";
  }
  return s;
}

template <class Read>
void CheckRandomInputIsRefused(Read read) {
  std::mt19937 rng(20261207);
  for (int i = 0; i < 11000; ++i) {
    const std::string input = i < 10000 ? RandomBytes(rng) : RandomText(rng);
    std::string error;
    ASSERT_FALSE(read(input, error)) << "input " << i << " was taken for a set-up";
    ASSERT_FALSE(error.empty()) << "input " << i;
  }
}

// A good file with one to three of its lines replaced by random words or numbers: whatever is
// still taken must write back to a file that reads the same.
template <class RoundTrip>
void CheckChangedFilesRoundTrip(const std::string& good, RoundTrip roundTrip) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < good.size();) {
    size_t end = good.find('\n', pos);
    lines.push_back(good.substr(pos, end - pos));
    pos = end + 1;
  }
  std::mt19937 rng(7);
  int taken = 0;
  for (int i = 0; i < 1000; ++i) {
    std::vector<std::string> changed = lines;
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
      std::string word = RandomText(rng);
      changed[rng() % changed.size()] = word.substr(0, word.find_first_of("\r\n"));
    }
    std::string text;
    for (const std::string& l : changed) text += l + "\n";
    taken += roundTrip(text) ? 1 : 0;
  }
  EXPECT_GT(taken, 0);  // the check saw accepted files at all
}

TEST(SetupFileProperty, ClassicSetups) {
  CheckRandomInputIsRefused([](const std::string& text, std::string& error) {
    ClassicSetup s;
    return ParseClassicConfig(text, s, error);
  });
  ClassicSetup good;
  good.rawOn = 1;
  good.sel[CB_RAW].dates = {37622.0, 37623.5};
  good.sel[CB_RAW].roadways = {"I-5"};
  good.sel[CB_RAW].cabinets = {{"005es01234", "ES-101D", 1234, "Station Rd", 0}};
  good.sel[CB_RAW].elements = {{"_MN___1", 0, 0}};
  good.months = {0, 11};
  CheckChangedFilesRoundTrip(FormatClassicConfig(good), [](const std::string& text) {
    ClassicSetup read, again;
    std::string error;
    if (!ParseClassicConfig(text, read, error)) return false;
    EXPECT_TRUE(ParseClassicConfig(FormatClassicConfig(read), again, error)) << error;
    EXPECT_EQ(again, read) << text;
    return true;
  });
}

TEST(SetupFileProperty, NewViewDesigns) {
  CheckRandomInputIsRefused([](const std::string& text, std::string& error) {
    SNewConfig c;
    return ReadNewConfig(text, c, &error);
  });
  SNewConfig good;
  good.outputPath = "C:\\out\\r.txt";
  good.dates = {37622.0, 37630.25};
  good.roadways = {"I-5"};
  good.cabinets = {{"005es01234", "ES-101D", "Station Rd", 1234, 0}};
  good.elements = {{"_MN___1", 0, 0}};
  good.periodLen = 15;
  good.content[0] = 1;
  good.lists[NFG_COLS] = {{2, true}};
  good.lists[NFG_ROWS] = {{7, false}};
  CheckChangedFilesRoundTrip(WriteNewConfig(good), [](const std::string& text) {
    SNewConfig read, again;
    std::string error;
    if (!ReadNewConfig(text, read, &error)) return false;
    const std::string written = WriteNewConfig(read);
    EXPECT_TRUE(ReadNewConfig(written, again, &error)) << error;
    EXPECT_EQ(WriteNewConfig(again), written) << text;
    return true;
  });
}

// Both views save through SaveSetupFile: a shared file of another user's is written in place with
// its owner and mode, and a save that could not put the old contents back says so.
TEST(SetupFileSave, ASharedFileIsSavedInPlaceAndAFailureSaysWhatBecameOfTheOldOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file of another user's";
  TestFolder dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  const std::string file = dir / "shared.cfg";
  const auto save = [&](size_t length, rlim_t limit) {
    TestFolder::Write(file, std::string(300, 'o'));
    EXPECT_EQ(::chmod(file.c_str(), 0666), 0);
    return AsNobody([&] {
      ScopedFileSizeLimit full(limit);
      std::string why;
      return SaveSetupFile(file, std::string(length, 'n'), why) ? std::string("saved") : why;
    });
  };
  EXPECT_EQ(save(40, RLIM_INFINITY), "saved");
  EXPECT_EQ(TestFolder::Read(file), std::string(40, 'n'));  // its owner and mode kept: Files.AnotherUsersFile*
  EXPECT_EQ(save(200, 100),
            "The file size exceeds the limit allowed and cannot be saved.\n"
            "Its old contents could not be put back: the file is damaged.");
}

}  // namespace
