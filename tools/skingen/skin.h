// The default skin generator: draws every picture of the skins folder, the
// per-model pictures of the catalogue, "wait.gif" and "appico.ico".
#pragma once

#include <string>

#include "style.h"

namespace tolvane {
struct Catalogue;
struct DevCfg;
}

namespace tolvane::skin {

// Writes the whole skin under `outDir` (skins/, wait.gif, appico.ico).
// Returns false (with the reason in `error`) when a file cannot be written.
bool GenerateSkin(const Catalogue& cat, const std::string& outDir, std::string* error = nullptr,
                  int* pictureCount = nullptr);

// Families of pictures, one function each.
void DrawWindowAndPages(SkinWriter& w);    // main_nr, page backgrounds, Setting_BG
void DrawDialogs(SkinWriter& w);           // msg, msg2, progress, Debounce, device tiles
void DrawButtons(SkinWriter& w);           // title buttons, text buttons, combos, add, record
void DrawToggles(SkinWriter& w);           // radios, checks, switches
void DrawSliders(SkinWriter& w);           // tracks, fills, thumbs, value label
void DrawMenus(SkinWriter& w);             // menu items
void DrawIcons(SkinWriter& w);             // function, macro event and folder icons
void DrawIndicators(SkinWriter& w);        // digits, battery, colour picture
void DrawModel(SkinWriter& w, const DevCfg& dev);  // key_nr, mouse, mouse_led
QImage DrawAppIcon(int size);
QByteArray WaitAnimation();                // wait.gif bytes

// The model picture folder name: "%02x%02x" of customer and model id.
QString ModelFolder(const DevCfg& dev);

// Page background of a full window picture: the window chrome with the page
// area left plain, for page painters to decorate (page coordinates are offset
// by kPageX, kPageY).
QImage WindowBase();

}  // namespace tolvane::skin
