// The default skin's look: one dark palette with a single blue accent (the
// blue the window itself uses for the tab underline and the firmware label),
// shared shapes and the writer that saves every picture.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRectF>
#include <QString>

#include <initializer_list>
#include <string>
#include <vector>

namespace tolvane::skin {

namespace pal {
inline const QColor kWindow{0x14, 0x16, 0x1B};       // page ground
inline const QColor kHeader{0x19, 0x1C, 0x22};       // title and tab strip
inline const QColor kFrame{0x2C, 0x30, 0x39};        // window and dialog outline
inline const QColor kPanel{0x1C, 0x1F, 0x26};        // cards
inline const QColor kPanelBorder{0x28, 0x2C, 0x34};
inline const QColor kControl{0x25, 0x29, 0x31};      // buttons, fields
inline const QColor kControlHi{0x2F, 0x34, 0x3E};    // hovered
inline const QColor kControlBorder{0x37, 0x3C, 0x47};
inline const QColor kControlBorderHi{0x4C, 0x53, 0x60};
inline const QColor kWell{0x11, 0x13, 0x17};         // sunken areas
inline const QColor kText{0xDE, 0xE2, 0xE8};
inline const QColor kTextMuted{0x8A, 0x91, 0x9E};
inline const QColor kAccent{0x00, 0x80, 0xFF};
inline const QColor kAccentHi{0x38, 0x9C, 0xFF};
inline const QColor kAccentDn{0x00, 0x6A, 0xD6};     // pressed fill under white text
inline const QColor kAccentTint{0x9C, 0xCB, 0xFF};   // second thumb, soft highlights
inline const QColor kDanger{0xE5, 0x48, 0x4D};       // close hover, delete, recording
// Mouse body of the model pictures.
inline const QColor kBodyTop{0x2B, 0x2F, 0x37};
inline const QColor kBodyBottom{0x1F, 0x22, 0x28};
inline const QColor kBodyEdge{0x41, 0x46, 0x52};
inline const QColor kKeyTop{0x42, 0x47, 0x53};
inline const QColor kKeyBottom{0x37, 0x3B, 0x45};
inline const QColor kKeyEdge{0x5A, 0x61, 0x6F};
}  // namespace pal

// Window and page geometry the pictures are cut to.
constexpr int kWindowW = 1070, kWindowH = 750;
constexpr int kPageX = 1, kPageY = 111;  // the pages cover (1, 111)-(1070, 750)
constexpr int kTitleH = 29;              // title strip; the tabs start at y 29

// A transparent ARGB picture.
QImage NewPicture(int w, int h);
// A painter with antialiasing and smooth transforms on.
void Smooth(QPainter& p);

QPainterPath RoundRect(const QRectF& r, qreal radius);
// A radial gradient of radius `r` at `c`: `color` out to `from` of the radius,
// fading to the same colour fully transparent at the edge.
QRadialGradient Fade(QPointF c, qreal r, const QColor& color, qreal from = 0);
// The disc of radius `r` at `c` filled with Fade(c, r, color, from), no pen.
void Glow(QPainter& p, QPointF c, qreal r, const QColor& color, qreal from = 0);
// The lines through `points` in order, closed back to the first point unless
// `close` is false.
QPainterPath Polygon(std::initializer_list<QPointF> points, bool close = true);
// Fills `path` with a vertical gradient and strokes its edge inside the path.
void FillShape(QPainter& p, const QPainterPath& path, const QColor& top, const QColor& bottom,
               const QColor& edge, qreal edgeWidth = 1.0);
// A card: rounded panel with a hairline border.
void Card(QPainter& p, const QRectF& r, qreal radius = 8);
// The window shape with hard edges: key-coloured (transparent) outside, so
// that the shaped window cut has no fringe.
QPainterPath WindowShape(int w, int h, qreal radius);
// Clears every pixel outside `shape` (drawn without antialiasing), so that
// soft drawing near the outline leaves no half-transparent fringe.
void HardenOutline(QImage& img, const QPainterPath& shape);
// Hard-edged fill of a shape (no antialiasing on its outline).
void FillHard(QPainter& p, const QPainterPath& path, const QColor& c);

QFont UiFont(int pixelSize, bool bold = false);

// The product mark in a 16 x 16 box: a T whose stem narrows to a point.
QPainterPath BrandMarkPath();

// Button faces in the three states of the picture convention.
enum class State { Normal, Over, Down };

// Collects the pictures of one skin under a root folder.
class SkinWriter {
 public:
  explicit SkinWriter(std::string root) : root_(std::move(root)) {}
  // Writes `img` as PNG to root/skins/<rel> (folders created, temporary file
  // and rename). A failure is remembered.
  void Skin(const QString& rel, const QImage& img);
  // Writes bytes to root/<rel> the same way.
  void File(const QString& rel, const QByteArray& bytes);
  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }
  const std::vector<std::string>& Written() const { return written_; }
  const std::string& Root() const { return root_; }

 private:
  bool Write(const QString& rel, const QByteArray& bytes);
  std::string root_;
  bool ok_ = true;
  std::string error_;
  std::vector<std::string> written_;
};

}  // namespace tolvane::skin
