#pragma once
// A hyperlink: underlined text in the normal colour, or the visited colour once opened. A click
// (or Enter or Space) opens the target; when it cannot be opened the link beeps.

#include <QLabel>
#include <functional>

#include "ui/graph/GraphTypes.h"

namespace CustomControls {

inline constexpr Graphing::Color kLinkColor = 16711680;        // blue
inline constexpr Graphing::Color kVisitedLinkColor = 8388736;  // purple

class CStaticLink : public QLabel {
    Q_OBJECT
public:
    // Opens a target; false when it could not be opened. The default is the desktop's handler.
    using Opener = std::function<bool(const QString& target)>;

    explicit CStaticLink(const QString& text, QWidget* parent = nullptr);

    // The address; the link's own text when none was set.
    void SetTarget(const QString& target);
    QString Target() const { return target_.isEmpty() ? text() : target_; }
    void SetOpener(Opener opener) { opener_ = std::move(opener); }
    bool Visited() const { return visited_; }
    Graphing::Color CurrentColor() const { return visited_ ? kVisitedLinkColor : kLinkColor; }

    // Opens the target: visited on success, a beep and OpenFailed on failure.
    bool Open();

signals:
    void OpenFailed();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateLook();

    QString target_;
    Opener opener_;
    bool visited_ = false;
};

}  // namespace CustomControls
