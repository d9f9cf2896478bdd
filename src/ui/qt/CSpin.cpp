#include "ui/qt/CSpin.h"

namespace CustomControls {

template class CSpin<int>;
template class CSpinText<int>;

}  // namespace CustomControls
