#pragma once
// Documents, curves and equalisers as the command line prints them.

#include <nlohmann/json.hpp>

#include <cstdint>

#include "document/DocData.h"

class CCurve;

namespace cli {

nlohmann::ordered_json CurveJson(const CCurve& c);
nlohmann::ordered_json CurvesJson(const CurveList& list);
// {"gain", "valid", "bands": [{"kind", "c0" ... "c4", "shift"}]}
nlohmann::ordered_json EqJson(const EqResult& eq);
// Every field of the document.
nlohmann::ordered_json DocJson(int32_t version, const DocData& d);

}  // namespace cli
