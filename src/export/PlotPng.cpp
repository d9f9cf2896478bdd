#include "export/PlotPng.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include "threading/Errors.h"
#include "threading/SafeFile.h"
#include "ui/qt/QtGraphPainter.h"

namespace Exporting {

namespace {
int g_argc = 3;
char g_name[] = "tessaline";
char g_option[] = "-platform";
char g_platform[] = "offscreen";
char* g_argv[] = {g_name, g_option, g_platform, nullptr};
}  // namespace

OffscreenGui::OffscreenGui() {
    if (QGuiApplication::instance() == nullptr)
        app_ = std::make_unique<QGuiApplication>(g_argc, g_argv);
}

OffscreenGui::~OffscreenGui() = default;

QImage RenderPlotImage(const std::vector<PlotCurve>& curves, const PlotOptions& options) {
    CheckPlotSize(options.width, options.height);
    QImage image(options.width, options.height, QImage::Format_RGB32);
    if (image.isNull())
        throw tsl::wruntime_error(L"There is not enough memory for a picture of this size.");
    image.fill(Qt::white);
    QFont font;
    font.setPixelSize(EstimatedMetrics(options.width, options.height).fontPixels);
    const QFontMetrics fm(font);
    TextMetrics metrics;
    metrics.fontPixels = font.pixelSize();
    metrics.charWidth = std::max(1, fm.averageCharWidth());
    metrics.textHeight = std::max(1, fm.height());
    QPainter painter(&image);
    Graphing::QtGraphPainter graphPainter(painter, font, 1.0);
    DrawPlot(graphPainter, curves, options, metrics);
    return image;
}

void SavePlotPng(const std::vector<PlotCurve>& curves, const PlotOptions& options,
                 const std::filesystem::path& path) {
    const QImage image = RenderPlotImage(curves, options);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw tsl::wruntime_error(L"The picture for \"" + path.wstring() +
                                  L"\" could not be encoded.");
    // Written like every other file of the program: the reason of a failure is given.
    Threading::SafeWriteFile(path, reinterpret_cast<const uint8_t*>(bytes.constData()),
                             static_cast<size_t>(bytes.size()));
}

}  // namespace Exporting
