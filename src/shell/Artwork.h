#pragma once
// The installer's own pictures, drawn rather than shipped: bitmap 132 (the pages' picture on
// the left, 90 x 158 dialog units) and icon 178 (the confirmation's question mark, 32 x 32).
#include <QPixmap>

namespace quillon {

QPixmap Bitmap132();
QPixmap Icon178();

} // namespace quillon
