#pragma once
// The equaliser as a readable listing: per section its raw coefficients and, where the section
// is a peaking or shelving shape, its frequency, gain and Q; as text and as JSON.

#include <string>
#include <vector>

#include "correction/EqResult.h"
#include "measure/Biquad.h"

namespace Exporting {

inline constexpr double kEqualiserRate = 3000.0;  // Hz, every supported model's rate

using ::Biquad;

enum class SectionShape { Flat, Peaking, LowShelf, HighShelf, Other };
const char* ShapeName(SectionShape shape);  // "flat", "peaking", "low_shelf", "high_shelf", "other"

struct SectionInfo {
    SectionShape shape = SectionShape::Other;
    double frequency = 0.0;  // Hz; centre (peaking) or mid-slope (shelves)
    double gainDb = 0.0;     // peak or shelf gain
    double q = 0.0;
    double levelDb = 0.0;  // a constant factor the shape is scaled by (0 for the common form)
    Biquad coefficients;
    EqBand band;
};

// The section's coefficients: the stored numerator times 2^(1 - shift), the feedback times 2.
Biquad BandCoefficients(const EqBand& band);
// Peaking and shelving sections in their common (bilinear, cookbook) form.
Biquad DesignSection(SectionShape shape, double frequency, double gainDb, double q, double rate);
// |H| in dB at f.
double SectionLevelDb(const Biquad& c, double f, double rate);
// Recognises the shape: the parameters found (with the level) must rebuild the section to
// within 0.05 dB from 0 Hz to half the rate.
SectionInfo DescribeSection(const EqBand& band, double rate);

std::vector<SectionInfo> ListSections(const EqResult& eq, double rate);
std::string EqListingText(const EqResult& eq, double rate, const std::wstring& name);
std::string EqListingJson(const EqResult& eq, double rate, const std::wstring& name);

}  // namespace Exporting
