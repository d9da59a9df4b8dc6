#include "app/shell/archive_fixture.h"

AppTempFolder* ArchiveFixture::folder_ = nullptr;
std::vector<SampleDayInfo> ArchiveFixture::days_;
