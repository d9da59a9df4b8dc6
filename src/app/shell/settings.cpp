#include "app/shell/settings.h"

#include <algorithm>
#include <cstdlib>

#include "app/shell/text_lines.h"
#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/optical.h"
#include "platform/kernel/process.h"
#include "support/launch.h"

namespace {
constexpr const char* kGeneral = "GENERAL";
constexpr const char* kOutput = "OUTPUT";
constexpr const char* kPeValid = "PE_VALID";

bool EndsWithSeparator(const std::string& s) { return !s.empty() && (s.back() == '\\' || s.back() == '/'); }

std::string ReadPath(IProfileStore& profile, const char* section, const char* key, const std::string& fallback) {
  return PlatformPath(profile.GetString(section, key, fallback.c_str()));
}

std::string AssociatedProgram(const char* extension) {
  char program[MAX_PATH + 1] = {};
  if (FindAssociatedProgram(extension, program, nullptr) <= 32) return std::string();
  return program;
}

// True when `path` lies under the mount point `root` (which ends in a separator).
bool IsUnder(const std::string& path, const std::string& root) {
  return !root.empty() && path.size() >= root.size() && path.compare(0, root.size(), root) == 0;
}
}  // namespace

std::string LeftAloneProfileMessage(const IProfileStore& profile) {
  const CProfile* file = profile.ProfileFile();
  if (file == nullptr || !file->IsFileLeftAlone()) return std::string();
  std::string why;
  switch (file->GetFileState()) {
    case CProfile::FileState::NotRegularFile: why = "is not a regular file."; break;
    case CProfile::FileState::TooLarge:
      why = "is larger than " + std::to_string(CProfile::kMaxFileBytes >> 20) + " MB.";
      break;
    case CProfile::FileState::NotText: why = "is not a settings file: it holds bytes that are not text."; break;
    case CProfile::FileState::NotSettings: why = "is not a settings file: it holds text without a [section] line."; break;
    case CProfile::FileState::BrokenLink: why = "is a link to a file that does not exist."; break;
    case CProfile::FileState::OtherUsersFile:
    case CProfile::FileState::WritableByOthers: {
      const std::string reach = file->GetOthersReach();
      const char* whose = file->GetFileState() == CProfile::FileState::OtherUsersFile ? "belongs to another user"
                                                                                      : "can be written by another user";
      why = reach == file->GetPath() ? std::string(whose) : "leads to\n" + reach + "\nwhich " + whose;
      why += ", so it is not used.";
      break;
    }
    case CProfile::FileState::InOthersFolder:
      why = "is in the folder\n" + file->GetOthersReach() +
            "\nwhich belongs to another user or can be written by one, so it is not used.";
      break;
    case CProfile::FileState::ReadOnly:
    case CProfile::FileState::OtherOwner:
      return "The settings file\n" + file->GetPath() +
             (file->GetFileState() == CProfile::FileState::ReadOnly
                  ? "\nis read-only."
                  : "\nbelongs to another user or group, which a save by this user could not keep.") +
             "\n\nThe program starts with the settings in it and leaves that file as it is: "
             "changes of the settings last until the program ends.";
    default: {
      std::string text;
      why = "cannot be read";
      if (FormatSystemMessage(file->GetReadError(), text) && text.size() > 2)
        why += ": " + text.substr(0, text.size() - 2);
      else
        why += ".";
    }
  }
  return "The settings file\n" + file->GetPath() + "\n" + why +
         "\n\nThe program starts with its default settings and leaves that file as it is.";
}

std::string ProfileWriteErrorMessage(const char* text, const IProfileStore& profile) {
  const CProfile* file = profile.ProfileFile();
  if (file == nullptr || !file->HasWriteFailed()) return text;
  return std::string(text) + "\n\nThe settings file\n" + file->GetPath() +
         "\ncould not be written: " + SystemErrorLine(file->GetLastSaveError());
}

UINT ReadUseClassic(IProfileStore& profile) { return profile.GetInt(kGeneral, "USE_CLASSIC", 0); }

PeValidity ReadPeSettings(IProfileStore& profile) {
  PeValidity pe;
  pe.peak1Start = static_cast<int32_t>(profile.GetInt(kPeValid, "PEAK1_START", 72));
  pe.peak1End = static_cast<int32_t>(profile.GetInt(kPeValid, "PEAK1_END", 108));
  pe.peak2Start = static_cast<int32_t>(profile.GetInt(kPeValid, "PEAK2_START", 180));
  pe.peak2End = static_cast<int32_t>(profile.GetInt(kPeValid, "PEAK2_END", 228));
  pe.peakMin = static_cast<uint8_t>(profile.GetInt(kPeValid, "VOL_GOOD_PEAK_MIN", 0));
  pe.peakMax = static_cast<uint8_t>(profile.GetInt(kPeValid, "VOL_GOOD_PEAK_MAX", 255));
  pe.offMin = static_cast<uint8_t>(profile.GetInt(kPeValid, "VOL_GOOD_OFF_PEAK_MIN", 0));
  pe.offMax = static_cast<uint8_t>(profile.GetInt(kPeValid, "VOL_GOOD_OFF_PEAK_MAX", 255));
  return pe;
}

bool WritePeSettings(IProfileStore& profile, const PeValidity& pe) {
  bool ok = true;
  ok &= profile.WriteInt(kPeValid, "PEAK1_START", pe.peak1Start);
  ok &= profile.WriteInt(kPeValid, "PEAK1_END", pe.peak1End);
  ok &= profile.WriteInt(kPeValid, "PEAK2_START", pe.peak2Start);
  ok &= profile.WriteInt(kPeValid, "PEAK2_END", pe.peak2End);
  ok &= profile.WriteInt(kPeValid, "VOL_GOOD_OFF_PEAK_MAX", pe.offMax);
  ok &= profile.WriteInt(kPeValid, "VOL_GOOD_OFF_PEAK_MIN", pe.offMin);
  ok &= profile.WriteInt(kPeValid, "VOL_GOOD_PEAK_MAX", pe.peakMax);
  ok &= profile.WriteInt(kPeValid, "VOL_GOOD_PEAK_MIN", pe.peakMin);
  return ok;
}

SDefaultsEnvironment SDefaultsEnvironment::Current() {
  SDefaultsEnvironment env;
  env.programPath = GetProgramPath();
  env.opticalRoots = GetOpticalDriveRoots();
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  env.dataHome = dataHome != nullptr ? dataHome : "";
  env.home = GetHomeFolder();
  env.tempFolder = GetTempFolder();
  env.findAssociatedProgram = &AssociatedProgram;
  return env;
}

std::string DefaultCdromPath(const SDefaultsEnvironment& env) {
  for (const std::string& root : env.opticalRoots)
    if (IsUnder(env.programPath, root)) return root;
  if (!env.opticalRoots.empty()) return env.opticalRoots.front();
  return "../../";
}

std::string DefaultOtherPath(const SDefaultsEnvironment& env) {
  // A relative XDG_DATA_HOME is to be ignored, as the base-directory rules say.
  std::string base = !env.dataHome.empty() && env.dataHome[0] == '/' ? env.dataHome : env.home + "/.local/share";
  if (!EndsWithSeparator(base)) base += '/';
  return base + "qav/archive/";
}

std::string DefaultReportFolder(const SDefaultsEnvironment& env) {
  return env.tempFolder.empty() ? std::string("/tmp/") : WithTrailingSeparator(env.tempFolder);
}

void ReadGeneralSettings(IProfileStore& profile, const SDefaultsEnvironment& env, SGeneralSettings& out) {
  out.cdromPath = ReadPath(profile, kGeneral, "CDROM_PATH", "");
  if (out.cdromPath.empty()) out.cdromPath = DefaultCdromPath(env);
  out.cdromIndex = static_cast<int>(profile.GetInt(kGeneral, "CDROM_INDEX", 1));
  out.otherPath = ReadPath(profile, kGeneral, "OTHER_PATH", DefaultOtherPath(env));
}

void ReadOutputSettings(IProfileStore& profile, const SDefaultsEnvironment& env, SOutputSettings& out) {
  out.textViewer = profile.GetString(kOutput, "TEXTVIEWER", "");
  if (out.textViewer.empty() && env.findAssociatedProgram != nullptr) out.textViewer = env.findAssociatedProgram(".TXT");
  out.ssViewer = profile.GetString(kOutput, "SSVIEWER", "");
  if (out.ssViewer.empty() && env.findAssociatedProgram != nullptr) out.ssViewer = env.findAssociatedProgram(".XLS");
  out.autoOpen = static_cast<int>(profile.GetInt(kOutput, "AUTOOPEN", 1));
  out.useCustomViewer = static_cast<int>(profile.GetInt(kOutput, "USEQAVCUSTOMVIEWER", 1));
  const std::string folder = DefaultReportFolder(env);
  out.rawPath = ReadPath(profile, kOutput, "RAWDATA_PATH", folder);
  out.sdsPath = ReadPath(profile, kOutput, "SDS_PATH", folder);
  out.mdsPath = ReadPath(profile, kOutput, "MDS_PATH", folder);
}

bool WriteViewSettings(IProfileStore& profile, const SGeneralSettings& general, const SOutputSettings& output,
                       const PeValidity& pe) {
  bool ok = true;
  ok &= profile.WriteInt(kGeneral, "CDROM_INDEX", general.cdromIndex);
  ok &= profile.WriteString(kGeneral, "OTHER_PATH", general.otherPath.c_str());
  ok &= profile.WriteString(kGeneral, "CDROM_PATH", general.cdromPath.c_str());
  ok &= profile.WriteInt(kGeneral, "USE_CLASSIC", static_cast<int>(general.useClassic));
  ok &= profile.WriteString(kOutput, "TEXTVIEWER", output.textViewer.c_str());
  ok &= profile.WriteString(kOutput, "SSVIEWER", output.ssViewer.c_str());
  ok &= profile.WriteInt(kOutput, "AUTOOPEN", output.autoOpen);
  ok &= profile.WriteInt(kOutput, "USEQAVCUSTOMVIEWER", output.useCustomViewer);
  ok &= profile.WriteString(kOutput, "RAWDATA_PATH", output.rawPath.c_str());
  ok &= profile.WriteString(kOutput, "SDS_PATH", output.sdsPath.c_str());
  ok &= profile.WriteString(kOutput, "MDS_PATH", output.mdsPath.c_str());
  ok &= WritePeSettings(profile, pe);
  return ok;
}

std::string PlatformPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string WithTrailingSeparator(const std::string& path) {
  const std::string p = PlatformPath(path);
  return EndsWithSeparator(p) ? p : p + "/";
}

bool IsFullPath(const std::string& path) { return !path.empty() && (path[0] == '/' || path[0] == '\\'); }

std::string UserHomeFolder() { return GetHomeFolder(); }

std::string ReportFolderIn(const std::string& folder, const std::string& home) {
  if (IsFullPath(folder)) return WithTrailingSeparator(folder);
  if (home.empty()) return folder.empty() ? std::string() : WithTrailingSeparator(folder);
  return WithTrailingSeparator(folder.empty() ? home : WithTrailingSeparator(home) + folder);
}

std::string ReportPathIn(const std::string& folder, const std::string& name) {
  if (IsFullPath(name) || folder.empty()) return name;
  return WithTrailingSeparator(folder) + name;
}
