// The library as the macro page and the picker show it: folders closed until
// opened, each with its own picture when the folder has one.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "macro/macro_library.h"
#include "ui/library_view.h"
#include "../macro/temp_library.h"

namespace tolvane::ui {
namespace {

TEST(LibraryView, FoldersOpenOnRequestAndShowTheirOwnPicture) {
  tolvane::test::TempUserDir user;
  const std::string mac = user.Mac();
  const StMacro a = tolvane::test::MakeMacro("Reload", 0x100001);
  const StMacro b = tolvane::test::MakeMacro("Jump", 0x100002);
  const StMacro c = tolvane::test::MakeMacro("Top", 0x100003);
  std::filesystem::create_directories(mac + "/Games");
  std::filesystem::create_directories(mac + "/Plain");
  ASSERT_EQ(WriteMacroFile(mac + "/Games/Reload.qxm", a), 0);
  ASSERT_EQ(WriteMacroFile(mac + "/Plain/Jump.qxm", b), 0);
  ASSERT_EQ(WriteMacroFile(mac + "/Top.qxm", c), 0);
  QImage own(12, 12, QImage::Format_ARGB32);
  own.fill(QColor(0, 200, 0));
  ASSERT_TRUE(own.save(QString::fromStdString(mac + "/Games/Games.png"), "PNG"));

  MacroLibrary library(user.Dir(), true);
  ASSERT_TRUE(library.Load());
  LibraryView view(library);
  const MacroTree tree = library.Tree();
  std::vector<TreeRow> rows = view.Rows(tree);
  ASSERT_EQ(rows.size(), 3u);  // the two folders closed, and the macro
  NodeId games = 0, plain = 0;
  for (const TreeRow& r : rows) {
    EXPECT_EQ(r.depth, 0);
    if (r.text == "Games") games = r.item;
    if (r.text == "Plain") plain = r.item;
  }
  ASSERT_NE(games, 0u);
  ASSERT_NE(plain, 0u);

  view.Toggle(games);
  rows = view.Rows(tree);
  ASSERT_EQ(rows.size(), 4u);
  for (size_t i = 0; i < rows.size(); ++i) {
    const TreeRow& r = rows[i];
    if (r.item == games) {
      EXPECT_TRUE(r.folder);
      EXPECT_TRUE(r.expanded);
      ASSERT_FALSE(r.icon.isNull());  // its own picture
      EXPECT_EQ(QColor(r.icon.pixel(5, 5)), QColor(0, 200, 0));
      ASSERT_LT(i + 1, rows.size());
      EXPECT_EQ(rows[i + 1].text, "Reload");
      EXPECT_EQ(rows[i + 1].depth, 1);
    }
    if (r.item == plain) {
      EXPECT_FALSE(r.expanded);
      EXPECT_TRUE(r.icon.isNull());  // the skin's folder pictures serve it
    }
  }
  view.Toggle(games);
  EXPECT_EQ(view.Rows(tree).size(), 3u);
}

}  // namespace
}  // namespace tolvane::ui
