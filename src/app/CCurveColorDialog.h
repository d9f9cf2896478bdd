#pragma once
// The curve colours dialog: three swatches, each with a "Change" button opening the colour
// chooser; OK keeps the colours, Cancel discards them.

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QPushButton;

namespace CustomControls {
class CStaticColorCtrl;
}

class CCurveColorDialog : public QDialog {
    Q_OBJECT
public:
    // Asks for a colour starting at the given one; nothing when cancelled.
    using Chooser = std::function<std::optional<uint32_t>(QWidget* parent, uint32_t initial)>;

    CCurveColorDialog(const std::array<uint32_t, 3>& colours, QWidget* parent = nullptr,
                      Chooser chooser = {});

    const std::array<uint32_t, 3>& Colours() const { return colours_; }
    void Change(size_t index);
    QPushButton* ChangeButton(size_t index) const { return change_[index]; }

private:
    std::array<uint32_t, 3> colours_;
    std::array<CustomControls::CStaticColorCtrl*, 3> swatches_{};
    std::array<QPushButton*, 3> change_{};
    Chooser chooser_;
};

inline constexpr char kCurveColorsCaption[] = "Curve colors";
inline constexpr std::array<const char*, 3> kCurveLabels{"Measured:", "Targets:", "Calculated:"};
