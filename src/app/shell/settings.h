// The settings of the profile sections GENERAL, OUTPUT and PE_VALID: their keys, defaults, read and
// write order, and the defaults the program computes (CD-ROM root, archive folder, report folder).
#pragma once

#include <string>
#include <vector>

#include "app/shell/profile_store.h"
#include "trafficdata/view_settings.h"

// Section GENERAL.
struct SGeneralSettings {
  std::string cdromPath;   // CDROM_PATH
  std::string otherPath;   // OTHER_PATH
  int cdromIndex = 1;      // CDROM_INDEX: 0 reads the archive from cdromPath, else from otherPath
  UINT useClassic = 0;     // USE_CLASSIC: the view of the next start
};

// Section OUTPUT.
struct SOutputSettings {
  std::string textViewer;  // TEXTVIEWER
  std::string ssViewer;    // SSVIEWER
  int autoOpen = 1;        // AUTOOPEN
  int useCustomViewer = 1; // USEQAVCUSTOMVIEWER
  std::string rawPath;     // RAWDATA_PATH
  std::string sdsPath;     // SDS_PATH
  std::string mdsPath;     // MDS_PATH
};

// What the user is told, once, when the program leaves the settings file as it is: when it is there
// but was not read (not a regular file, a link to no file, too large, unreadable, not text, text
// without a section line), and the program runs on the defaults; or when it is read-only or another
// user's, and changes of the settings last only until the program ends. Empty when the file was
// read and may be written, or does not exist.
std::string LeftAloneProfileMessage(const IProfileStore& profile);

// The box shown when the settings could not be saved: `text`, then the settings file and the
// system's reason, when the store has a file whose save failed.
std::string ProfileWriteErrorMessage(const char* text, const IProfileStore& profile);

// USE_CLASSIC of section GENERAL (default 0).
UINT ReadUseClassic(IProfileStore& profile);

// The eight PE_VALID values with their defaults; the 8-bit ones keep their low byte (300 -> 44).
PeValidity ReadPeSettings(IProfileStore& profile);
// Writes the eight values; every key is attempted. False when any write failed.
bool WritePeSettings(IProfileStore& profile, const PeValidity& pe);

// Where the program looks for things, for the defaults below (tests give their own).
struct SDefaultsEnvironment {
  std::string programPath;               // full path of the running program
  std::vector<std::string> opticalRoots; // mount points of optical media, in mount-table order
  std::string dataHome;                  // $XDG_DATA_HOME, or empty
  std::string home;                      // $HOME
  std::string tempFolder;                // the temporary folder, ending in a separator
  // The program associated with a file type (".TXT", ".XLS"), or empty.
  std::string (*findAssociatedProgram)(const char* extension) = nullptr;
  // The program's own environment.
  static SDefaultsEnvironment Current();
};

// The CD-ROM root: the optical mount point the program runs from, else the first optical mount
// point, else "../../".
std::string DefaultCdromPath(const SDefaultsEnvironment& env);
// The per-user archive folder: $XDG_DATA_HOME/qav/archive/ (default ~/.local/share/qav/archive/).
std::string DefaultOtherPath(const SDefaultsEnvironment& env);
// The folder of Classic reports when none is set: the temporary folder.
std::string DefaultReportFolder(const SDefaultsEnvironment& env);

// GENERAL without USE_CLASSIC (read at start-up by the application): CDROM_PATH (computed when
// missing or empty), CDROM_INDEX, OTHER_PATH. Folders come back with "/" separators, also when an
// older settings file holds them with "\".
void ReadGeneralSettings(IProfileStore& profile, const SDefaultsEnvironment& env, SGeneralSettings& out);
// OUTPUT: empty viewers are replaced by the programs associated with ".TXT" and ".XLS"; the three
// report folders come back with "/" separators.
void ReadOutputSettings(IProfileStore& profile, const SDefaultsEnvironment& env, SOutputSettings& out);
// Writes GENERAL, OUTPUT and PE_VALID in their order (every key attempted); false when any failed.
bool WriteViewSettings(IProfileStore& profile, const SGeneralSettings& general, const SOutputSettings& output,
                       const PeValidity& pe);

// The path with every "\" turned into "/" (the file layer reads both; the user sees and the
// settings file keeps this platform's form).
std::string PlatformPath(std::string path);
// PlatformPath with a trailing "/" (an empty path becomes "/").
std::string WithTrailingSeparator(const std::string& path);

// Where reports go when their name gives no folder. Relative names are taken in the report folder
// of the Output page or, when none is set, in the user's home folder: never in the folder the
// program happened to be started from.
// The user's home folder (GetHomeFolder: $HOME when a full path, else the password database's),
// "" when neither names one.
std::string UserHomeFolder();
// Whether `path` starts at the root. A report path that does not (no home folder to take its name
// in) is not written: the report goes to the temporary folder, as when its file cannot be made.
bool IsFullPath(const std::string& path);
// A report family's folder: `folder` when absolute, else taken in `home` (`home` itself when
// `folder` is empty); with a trailing "/". Empty only when both are empty.
std::string ReportFolderIn(const std::string& folder, const std::string& home);
// A report's path: `name` when absolute, else taken in `folder` (`name` unchanged when `folder`
// is empty).
std::string ReportPathIn(const std::string& folder, const std::string& name);
