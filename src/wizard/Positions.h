#pragma once
// The microphone positions of a document: a table of their quality and deviation from the
// measured average, and dropping one of them. (Their spread is drawn by export/PlotModel.h.)

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "document/DocData.h"
#include "wizard/MainCommands.h"

// A position whose level lies further than this (RMS over the fit band) from the average stands
// out.
inline constexpr double kOutlierRmsDb = 6.0;

struct PositionRow {
    int number = 0;                         // 1-based
    std::optional<PositionQuality> checks;  // none when the document did not record them
    double deviationDb = 0.0;               // RMS level difference from the average over the band
    double largestDb = 0.0;                 // largest level difference from the average there
    bool outlier = false;                   // deviationDb above kOutlierRmsDb
    std::optional<PositionEffect> effect;   // none before a calculation
};
struct PositionTable {
    double low = 0.0, high = 0.0;  // the band of the deviations, Hz (ComparisonBand)
    std::vector<PositionRow> rows;
    std::wstring settle;  // how settled the positions' average is (SettleText); empty below 2
};
// Compared with the document's measured average, or the positions' power average when the
// result list holds none.
PositionTable TabulatePositions(const DocData& data);

// Removes position `index` (0-based) and leaves the document as a measurement of the others
// would: the result list holds only their power average, the equaliser is erased and the
// re-measured curve and the positions' figures dropped, so the next Calculate fits to the remaining
// positions. Raises tsl::wruntime_error for an index out of range or for the only position.
void DropPosition(DocData& data, size_t index);
// What follows a change of the positions: the results hold only their power average, the
// equaliser is erased, the re-measurement and the per-position figures are dropped.
void KeepAverageOfPositions(DocData& data);

// The window's drop asks first and keeps at least as many positions as a measurement takes.
std::wstring DropPositionQuestion(int number);  // "Drop position N? ..."
// Empty when position `index` (0-based) may be dropped from a document of `count` positions,
// otherwise why not.
std::wstring DropRefusal(size_t count, size_t index);

enum class DropOutcome { Declined, Refused, Dropped };

// The window's drop of position `index` of `data` (the open document's): refused with the
// reason in a box, or asked, then dropped, redrawn, and the Calculate wizard run with the
// document's target settings (its result goes to `calculated` when given).
DropOutcome DropPositionCommand(IMainView& view, DocData& data, size_t index,
                                bool* calculated = nullptr);
