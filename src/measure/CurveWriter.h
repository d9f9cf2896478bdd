#pragma once
// Receiver of the intermediate curves of an impulse extraction, for inspection while developing or
// for showing them live. Each curve handed over already carries the name it is written under.

#include <string>

#include "measure/Curve.h"

class CCurveWriter {
public:
    virtual void WriteCurve(const CCurve& curve) = 0;
    virtual void WriteNamedCurve(const CCurve& curve, const std::wstring& name) = 0;
    virtual ~CCurveWriter() = default;
};

// The writer of the measurement procedure: nobody looks at its curves, so it drops them.
class CCurveWriterLocal final : public CCurveWriter {
public:
    void WriteCurve(const CCurve&) override {}
    void WriteNamedCurve(const CCurve&, const std::wstring&) override {}
};
