// Moving the New view's design between the model and its two stores: the MAINNEW section of
// the profile and the configuration file record. Reads bring every value into range, place
// each listed key at most once and derive every count from the arrays.
#pragma once

#include <string>

#include "app/newview/new_model.h"
#include "app/newview/nfg_file.h"

class IProfileStore;

// The configuration record of the current design and selection.
void SnapshotConfig(const CNewReportModel& m, SNewConfig& cfg);
// Replaces design and selection by a record that was read completely, then regroups and
// recounts. Returns the element-kind mask for restarting the element loader (7 for Travel
// Time, 255 otherwise), or 0 when the record selects no date.
int ApplyConfig(CNewReportModel& m, const SNewConfig& cfg, bool ng2);

// Profile section MAINNEW: every setting but the structure (read when the view is built), the
// structure (read at the first update, after the exclusions), and all keys (written when the
// view goes). WriteProfile returns false when any write failed.
void ReadProfileSettings(CNewReportModel& m, IProfileStore& p);
// A structure that splits a type group between columns and rows is not used: the lists stay
// empty and the reason is returned (false).
bool ReadProfileStructure(CNewReportModel& m, IProfileStore& p, std::string* reason);
bool WriteProfile(const CNewReportModel& m, IProfileStore& p);

extern const char* const MAINNEW_SECTION;
