// Access to the program's own resources by their names: the cursors "CURHAND", "CURZOOMW",
// "CURZOOMD" and "CURZOOMP", the 16 x 16 bitmaps "CHECKEDBOX" and "EMPTYBOX" and the glyphs
// "LOADDATA", "SAVEDATA" and "SAVEDATAAS" of the tool strip's buttons. They are compiled in from resources/ and live at ":/<NAME>".
#pragma once

#include <QCursor>
#include <QImage>
#include <string>

namespace orvex {

// Registers the compiled-in resources; safe to call any number of times. Every function below
// calls it, so callers only need it when they open ":/<NAME>" paths themselves.
void InitResources();
// The image of a resource, or a null image for an unknown name.
QImage ResourceImage(const std::string& Name);
// A cursor made from a resource, with its hot spot (the hand's palm, the lens centre); the arrow
// cursor for an unknown name.
QCursor ResourceCursor(const std::string& Name);

}  // namespace orvex
