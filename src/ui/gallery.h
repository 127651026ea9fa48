// The widget gallery: every control of the kit in its states, on the skin.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

#include "ui/skin_widget.h"

namespace tolvane::ui {

class GalleryWindow : public SkinWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 1070, kHeight = 750;
  explicit GalleryWindow(QWidget* parent = nullptr);
  // Pictures the skin lacked while the gallery was built.
  const QStringList& Missing() const { return missing_; }

 protected:
  void PaintBuffer(QPainter& p) override;
  bool event(QEvent* e) override;

 private:
  struct Label {
    QRect rect;
    QString text;
  };
  struct Picture {
    QPoint at;
    QImage image;
  };
  void Build();
  void LoadBackground();
  void BuildTitleBar();
  // Each row of controls, its heading at `y`.
  void BuildPushButtons(int y);
  void BuildToggles(int y);
  void BuildDropLists(int y);
  void BuildSliders(int y);
  void BuildDpiBars(int y);
  void BuildEdits(int y);
  void BuildMenu(int y);
  void BuildComboDialog(int y);
  void Section(int y, const QString& title);
  void Note(const QRect& r, const QString& text);

  QImage bg_;
  std::vector<Label> labels_;
  std::vector<Picture> pictures_;
  QStringList missing_;
};

}  // namespace tolvane::ui
