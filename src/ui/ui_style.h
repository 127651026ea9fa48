// What every skinned control shares: colours and switches from cfg.ini, the
// skins folder, warning boxes and the few fixed texts of the kit.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace tolvane::ui {

// Colours are 0x00BBGGRR values throughout.
inline QColor ColorFromRef(uint32_t ref) {
  return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}
inline uint32_t RefFromColor(const QColor& c) {
  return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

// Layout and colour settings the kit reads; the main window fills it from
// cfg.ini at start-up. The defaults are the built-in ones.
struct UiStyle {
  uint32_t btnTxtNr = 0xC8C8C8;  // Btn_txt_clr_nr
  uint32_t btnTxtOv = 0x646464;  // Btn_txt_clr_ov
  uint32_t btnTxtDn = 0x000000;  // Btn_txt_clr_dn
  uint32_t menuTxtNr = 0xC8C8C8; // Menu_txt_clr_nr
  uint32_t menuTxtOv = 0xFFFFFF; // Menu_txt_clr_ov
  uint32_t clrEdit = 0x141414;   // clrEdit
  uint32_t clrEditText = 0xC8C8C8;
  uint32_t clrMaskDialog = 0x00FF00;
  bool comboRec = true;   // ComboRec: modifier check boxes in the combination dialog
  bool btnTips = false;   // BtnTips
  bool uiDebug = false;   // UIDebug
  bool hiRes = false;     // high-resolution mode
  int barY = 6;           // BarY
  int dpiBarY = 6;        // DpiBarY
  int sliderY = 0;        // SliderY
  QString fontName;       // FontName: the shared application font when not empty
  int fontSize = 16;      // FontSize
};

UiStyle& Style();

// The application font when cfg.ini names one, else `fallback`.
QFont SharedFontOr(const QFont& fallback);
// "MS Shell Dlg"-like font of the given pixel height and GDI weight (100..900).
QFont DialogFont(int height, int weight);

// Skins folder: ProgramDir + "skins/". Tests may point it elsewhere.
void SetSkinDir(const std::string& dir);
std::string SkinDir();
// Full path of a picture in the skins folder. A name may hold a sub-folder
// ("0a1b/key_nr.png"). When the exact name is missing, a file in the same
// folder whose name differs only in letter case is used (the skin names were
// chosen on a file system that ignores case).
QString SkinPath(const QString& name);
// Decodes a skin picture; a null image when missing or of width 0. A small
// one (a button's, an icon) is decoded once and its pixels shared while its
// file stays unchanged; a large one (a background) is shared likewise while
// any of its users still holds it.
QImage LoadSkinPicture(const QString& name);
// A picture made from the skin picture `name` (already loaded: `picture`)
// by `make`, such as the window's picture with its outside made
// transparent: mapped from the picture cache when it holds the one made from
// the file as it is now for this `variant`, else made and handed to the
// cache. Safe on any thread. A mapped picture's pixels come into memory as
// they are painted, not here: bringing them in would hold the process's
// memory-map lock while the window's thread maps pictures of its own.
QImage DerivedSkinPicture(const QString& name, const QImage& picture, const QString& variant,
                          const std::function<QImage(const QImage&)>& make);
// The part `r` of `picture` on `picture`'s own pixels, which it keeps alive:
// nothing is copied (a change made to it copies first). A null image when
// `r` is empty or not inside the picture.
QImage SharedPart(const QImage& picture, const QRect& r);
// Number of pictures loaded since start (tests check the paint paths).
int PictureLoadCount();

// Decodes skin pictures on a thread of its own while the rest of the start
// goes on; while it lives, LoadSkinPicture hands out each of them once (after
// its decoding has ended) instead of decoding it again. The paths are
// resolved when it is made, on the window's thread, after the application
// object (decoding looks for image plugins, which the application object's
// making must not race with). The destructor joins.
// The pictures of the first frame, decoded ahead at start: the window's
// background.
QStringList StartPictures();
// The backgrounds of the pages made after the first frame.
QStringList PagePictures();

class PicturePreload {
 public:
  // The pictures of `later` are decoded after those of `names`, once
  // ResumePicturePreload is called (the window's first frame is painted) or
  // one of them is asked for: until then the first frame has both cores.
  explicit PicturePreload(const QStringList& names, const QStringList& later = {});
  ~PicturePreload();
  PicturePreload(const PicturePreload&) = delete;
  PicturePreload& operator=(const PicturePreload&) = delete;
  // The picture of `path` once decoded (a null image for a missing file);
  // nullopt when it is not one of the preloaded ones or was taken already.
  std::optional<QImage> Take(const QString& path);
  // Lets the pictures of `later` be decoded.
  void Resume();
  // Adds a picture to decode after the others (one the window knows it will
  // need only once the program has found the mice); like those of `later`,
  // it waits for Resume.
  void Add(const QString& name);
  // Pictures not decoded yet (a Take of one of them would wait).
  bool Pending() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

// The preload that lives, if any, goes on with the pictures it holds back.
void ResumePicturePreload();
// The preload that lives, if any, has pictures still to decode.
bool PicturePreloadPending();
// Adds a picture to the preload that lives; without one, nothing is done.
void PreloadSkinPicture(const QString& name);

// Loads the font configuration and database on a thread of its own while the
// program starts and the window is built: the first text the window measures
// or paints finds them loaded. Made after the QApplication; the destructor
// joins.
class FontWarmUp {
 public:
  FontWarmUp();
  ~FontWarmUp();
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;
  // Waits until the fonts are loaded (the destructor does too).
  void Wait();

 private:
  std::thread thread_;
};

// Warning boxes of the kit ("Warrning" and the like, texts as given). The GUI
// installs a handler that shows a box; the default logs and forwards to the
// process notifier.
using WarningHandler = std::function<void(const std::string& title, const std::string& text)>;
void SetWarningHandler(WarningHandler handler);  // empty restores the default
void ShowWarning(const std::string& title, const std::string& text);

// User-visible text by text id from the language table; the kit's own few
// texts fall back to English when the table has none, any other id to itself.
QString UiText(const char* id);

}  // namespace tolvane::ui
