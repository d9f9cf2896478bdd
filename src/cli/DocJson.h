#pragma once
// Documents, curves and equalisers as the command line prints them.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "document/DocData.h"

class CCurve;

namespace cli {

nlohmann::ordered_json CurveJson(const CCurve& c);
nlohmann::ordered_json CurvesJson(const CurveList& list);
// {"gain", "valid", "bands": [{"kind", "c0" ... "c4", "shift"}]}
nlohmann::ordered_json EqJson(const EqResult& eq);
// {"shelf_db", "shelf_hz", "tilt_db_per_octave", "file"}: the house curve (file null without one).
nlohmann::ordered_json HouseJson(const HouseSettings& house);
// {"max_boost_db", "upper_hz"} with the upper limit given.
nlohmann::ordered_json LimitsJson(const HouseSettings& house, nlohmann::ordered_json upperHz);
// Adds to a position's row "before_rms_db", "before_max_db", "after_rms_db", "after_max_db",
// "held_out_rms_db", "held_out_max_db", "worse_at_hz" and "made_worse", null without a figure.
void AddEffectJson(nlohmann::ordered_json& row, const std::optional<PositionEffect>& effect);
// Every field of the document.
nlohmann::ordered_json DocJson(int32_t version, const DocData& d);

// Runs read (which reads the document at path) and raises its failure as a CliFailure that
// names the file.
void NamingFile(const std::string& path, const std::function<void()>& read);
// ReadDocFile whose failure names the file.
void ReadDocument(const std::string& path, DocData& data);

}  // namespace cli
