// Optical drives: the mount points of mounted CD and DVD media (file systems iso9660 and udf),
// as roots ending in a separator, in the order of the mount table.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> GetOpticalDriveRoots();

// The same from a given mount table file (format of /proc/self/mounts); for tests.
std::vector<std::string> GetOpticalDriveRoots(const char* mountTable);
