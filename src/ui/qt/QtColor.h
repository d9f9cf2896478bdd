#pragma once
// Colours of the graph and the swatches (0x00bbggrr) as Qt colours and back.

#include <QColor>

#include "ui/graph/GraphTypes.h"

namespace Graphing {

inline QColor ToQColor(Color c) {
    return QColor(Red(c), Green(c), Blue(c));
}
inline Color FromQColor(const QColor& c) {
    return Rgb(c.red(), c.green(), c.blue());
}

}  // namespace Graphing
