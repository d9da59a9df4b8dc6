// Message-box buttons and answers, file-chooser filters, default extension and overwrite prompt.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/ui/app.h"
#include "ui_fixture.h"

namespace {

using qav::ui::BoxButton;

std::string Ids(const std::vector<BoxButton>& b) {
  std::string s;
  for (const BoxButton& x : b) s += std::to_string(x.id) + " ";
  return s;
}

using ChoosersTest = UiTest;

TEST_F(ChoosersTest, MessageBoxButtonSetsAndDefaults) {
  struct Case {
    UINT type;
    const char* buttons;
    int answer;
  };
  const Case cases[] = {
      {MB_OK, "1 ", IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, "1 2 ", IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, "6 7 ", IDYES},
      {MB_YESNO | MB_DEFBUTTON4, "6 7 ", IDNO},  // beyond the buttons: the last one
      {MB_YESNOCANCEL | MB_DEFBUTTON3, "6 7 2 ", IDCANCEL},
      {MB_ABORTRETRYIGNORE, "3 4 5 ", IDABORT},
      {MB_RETRYCANCEL | MB_HELP | MB_DEFBUTTON3, "4 2 9 ", IDCANCEL},  // Help is never the answer
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ids(qav::ui::MessageBoxButtons(c.type)), c.buttons) << c.type;
    EXPECT_EQ(qav::ui::DefaultMessageBoxAnswer(c.type), c.answer) << c.type;
    // Headless without a handler the box answers with its default button, and is logged.
    EXPECT_EQ(::MessageBox(nullptr, "text", nullptr, c.type), c.answer) << c.type;
  }
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), std::size(cases));
  EXPECT_EQ(qav::ui::MessageBoxLog()[0].caption, "Error");  // the system's caption when none is given
}

TEST_F(ChoosersTest, FrameworkFilterStringsParse) {
  auto f = qav::ui::ParseFilter("Configuration Files (*.nfg) | *.nfg; ||");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].first, "Configuration Files (*.nfg)");
  EXPECT_EQ(f[0].second, std::vector<std::string>{"*.nfg"});
  f = qav::ui::ParseFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[1].first, "All Files (*.*)");
  EXPECT_EQ(f[1].second, std::vector<std::string>{"*.*"});
  f = qav::ui::ParseFilter("Reports|*.dat; *.sds ;*.mds|");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].second, (std::vector<std::string>{"*.dat", "*.sds", "*.mds"}));
  EXPECT_TRUE(qav::ui::ParseFilter(nullptr).empty());
  EXPECT_TRUE(qav::ui::ParseFilter("||").empty());
  // As the chooser shows them: each pattern once.
  const struct {
    const char* filter;
    const char* shown;
  } shown[] = {
      {"Configuration Files (*.cfg) | *.cfg; ||", "Configuration Files (*.cfg)"},
      {"All Output Files (*.dat, *.sds, *.mds) | *.dat;*.sds;*.mds; ||", "All Output Files (*.dat *.sds *.mds)"},
      {"All Files (*.*)|*.*||", "All Files (*)"},
      {"Reports|*.dat; *.sds|", "Reports (*.dat *.sds)"},
      {"Reports (text)|*.txt|", "Reports (text) (*.txt)"},
      {"Data (*.dat)|*.dat;*.sds|", "Data (*.dat) (*.dat *.sds)"},
  };
  for (const auto& c : shown) {
    f = qav::ui::ParseFilter(c.filter);
    ASSERT_EQ(f.size(), 1u) << c.filter;
    EXPECT_EQ(qav::ui::ChooserFilter(f[0].first, f[0].second), c.shown);
  }
}

TEST_F(ChoosersTest, SaveChooserAddsTheExtensionAndAsksBeforeReplacing) {
  char dir[] = "/tmp/qav_ui_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string existing = std::string(dir) + "/default.nfg";
  std::FILE* f = std::fopen(existing.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::string chosen;
  std::vector<qav::ui::FileChooserRequest> seen;
  // The user chooses `chosen`; brought back to the chooser, cancels it.
  qav::ui::SetFileChooserHandler([&](const qav::ui::FileChooserRequest& r, std::string& path) {
    seen.push_back(r);
    path = chosen;
    return seen.size() == 1;
  });
  int replaceAnswer = IDNO;
  qav::ui::SetMessageBoxHandler([&](const qav::ui::MessageBoxRequest&) { return replaceAnswer; });

  CFileDialog save(FALSE, ".nfg", "default.nfg", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                   "Configuration Files (*.nfg) | *.nfg; ||");
  chosen = std::string(dir) + "/new";
  EXPECT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), chosen + ".nfg");
  EXPECT_EQ(save.GetFileExt(), "nfg");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].open);
  EXPECT_EQ(seen[0].initialPath, "default.nfg");

  // "No" to replacing the existing file brings the chooser back with its name.
  seen.clear();
  chosen = std::string(dir) + "/default";  // becomes the existing file
  EXPECT_EQ(save.DoModal(), IDCANCEL);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].initialPath, existing);
  seen.clear();
  replaceAnswer = IDYES;
  EXPECT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(save.GetFileName(), "default.nfg");

  qav::ui::SetFileChooserHandler([](const qav::ui::FileChooserRequest&, std::string&) { return false; });
  CFileDialog open(TRUE, nullptr, nullptr, 0, "Text Files (*.txt)|*.txt||");
  EXPECT_EQ(open.DoModal(), IDCANCEL);
  std::string folder = "unchanged";
  EXPECT_FALSE(qav::ui::BrowseForFolder(nullptr, "Choose Other Drive Path", "/tmp", folder));
  EXPECT_EQ(folder, "unchanged");
  std::remove(existing.c_str());
  std::remove((std::string(dir) + "/new.nfg").c_str());
  rmdir(dir);
}

}  // namespace
