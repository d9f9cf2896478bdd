#pragma once
// A spin showing the names of an enumeration's values 0 ... n-1. Types is EnumTypes<E>,
// specialised by the enumeration's owner:
//
//   template <> struct CustomControls::EnumTypes<SLOPE_ORDER> {
//       static std::span<const std::wstring_view> Texts() { return kSlopeOrderTexts; }
//   };

#include <span>
#include <string>
#include <string_view>

#include "ui/qt/CSpin.h"

namespace CustomControls {

template <typename E>
struct EnumTypes;

template <typename Types>
class SpinTextBox : public CSpinText<int> {
public:
    explicit SpinTextBox(QWidget* parent = nullptr) : CSpinText<int>(parent) {
        // Names are chosen with the arrows, not typed.
        Edit()->setReadOnly(true);
        state_.SetFormatter([](int v) {
            const auto texts = Types::Texts();
            return v >= 0 && static_cast<std::size_t>(v) < texts.size()
                       ? std::wstring(texts[static_cast<std::size_t>(v)])
                       : std::wstring();
        });
    }

    // Binds to value over every text of the table.
    void Attach(int controlId, int* value, unsigned flags = 0) {
        const int count = static_cast<int>(Types::Texts().size());
        CSpinText<int>::Attach(controlId, value, Applicator<int>{0, count - 1, 1}, flags);
    }
};

}  // namespace CustomControls
