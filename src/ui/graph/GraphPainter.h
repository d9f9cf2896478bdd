#pragma once
// The drawing operations the graph needs, in device pixels. The Qt widget and test recorders
// implement them; the graph decides what goes where.

#include <span>
#include <string>

#include "ui/graph/GraphTypes.h"

namespace Graphing {

enum class LineKind { Frame, MajorGrid, MinorGrid, Mark };
enum class TextKind { Label, AxisTitle, Title, Readout };
// Which point of the text's box lies on the anchor.
enum class TextAnchor { TopCenter, Center, RightCenter };

class IGraphPainter {
public:
    virtual ~IGraphPainter() = default;
    virtual void Fill(const PixelRect& rect, Color color) = 0;
    virtual void Line(PixelPoint from, PixelPoint to, LineKind kind) = 0;
    virtual void Text(PixelPoint anchor, TextAnchor how, const std::wstring& text,
                      TextKind kind) = 0;
    virtual void Polyline(std::span<const PixelPoint> points, const Pen& pen) = 0;
    // A closed outline filled with a light shade of color; painters without shading skip it.
    virtual void Band(std::span<const PixelPoint> outline, Color color) {
        (void)outline;
        (void)color;
    }
};

}  // namespace Graphing
