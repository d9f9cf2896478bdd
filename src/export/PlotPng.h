#pragma once
// The plot as a PNG image, painted with Qt.

#include <QImage>
#include <filesystem>
#include <memory>
#include <vector>

#include "export/PlotExport.h"

class QGuiApplication;

namespace Exporting {

// Painting text needs a Qt application; a program without one (the command line) holds this
// while it renders: it makes one on the offscreen platform, or does nothing when one exists.
class OffscreenGui {
public:
    OffscreenGui();
    ~OffscreenGui();
    OffscreenGui(const OffscreenGui&) = delete;
    OffscreenGui& operator=(const OffscreenGui&) = delete;

private:
    std::unique_ptr<QGuiApplication> app_;
};

QImage RenderPlotImage(const std::vector<PlotCurve>& curves, const PlotOptions& options);
// Raises tsl::wruntime_error naming the file and the reason when it cannot be written.
void SavePlotPng(const std::vector<PlotCurve>& curves, const PlotOptions& options,
                 const std::filesystem::path& path);

}  // namespace Exporting
