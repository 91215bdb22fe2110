#pragma once
// Icons, pictures and toolbar images, looked up by resource id. The program
// registers a painter for each; the images are drawn the first time they are
// asked for (a pixmap needs the running application).

#include <functional>

#include <QIcon>
#include <QPixmap>

namespace kv {

void RegisterIcon(unsigned id, std::function<QIcon()> paint);
QIcon LoadIcon(unsigned id);

void RegisterBitmap(unsigned id, std::function<QPixmap()> paint);
QPixmap LoadBitmap(unsigned id);

// The 16 x 16 image of `command` in the toolbar bitmap `bitmapId`; null when
// the set has none for it.
void RegisterToolbarImages(unsigned bitmapId, std::function<QPixmap(unsigned command)> paint);
QPixmap ToolbarImage(unsigned bitmapId, unsigned command);

}  // namespace kv
