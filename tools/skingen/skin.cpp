#include "skin.h"

#include "config/catalogue.h"

namespace tolvane::skin {

QByteArray AppIcon();

bool GenerateSkin(const Catalogue& cat, const std::string& outDir, std::string* error,
                  int* pictureCount) {
  SkinWriter w(outDir);
  DrawWindowAndPages(w);
  DrawDialogs(w);
  DrawButtons(w);
  DrawToggles(w);
  DrawSliders(w);
  DrawMenus(w);
  DrawIcons(w);
  DrawIndicators(w);
  for (int i : cat.ModelsInUse()) DrawModel(w, cat.dev[size_t(i)]);

  const QByteArray gif = WaitAnimation();
  if (gif.isEmpty() && error) *error = "cannot encode wait.gif";
  if (!gif.isEmpty()) w.File(QStringLiteral("wait.gif"), gif);
  const QByteArray ico = AppIcon();
  if (ico.isEmpty() && error) *error = "cannot encode appico.ico";
  if (!ico.isEmpty()) w.File(QStringLiteral("appico.ico"), ico);

  if (pictureCount) *pictureCount = int(w.Written().size());
  if (!w.Ok() && error) *error = w.Error();
  return w.Ok() && !gif.isEmpty() && !ico.isEmpty();
}

}  // namespace tolvane::skin
