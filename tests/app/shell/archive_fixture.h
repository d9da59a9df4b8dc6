// A generated archive shared by the loader tests: PE years 1990 and 1993, database years 1993 and
// 1994 (eight elements, five days a year), written once per test program into a temporary folder
// that becomes the archive root.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/app_test_env.h"
#include "app/shell/input_loader.h"
#include "archive/archive_globals.h"
#include "archive/ntso_format.h"
#include "archive/sample_archive.h"
#include "containers/obj_array.h"
#include "trafficdata/db_element.h"

class ArchiveFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new AppTempFolder();
    SampleArchiveOptions o;
    o.root = folder_->path() + "/";
    o.years = {1990, 1993, 1994};
    o.elements = 8;
    o.days = 5;
    std::string message;
    ASSERT_EQ(WriteSampleArchive(o, &message, &days_), 0) << message;
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    g_DataRootPath.Set((folder_->path() + "/").c_str());
    g_hPromptWnd = 0;
  }
  static std::string Root() { return folder_->path() + "/"; }

  // The database elements of a year as the views hold them: each with a cabinet of its own.
  struct Selection {
    std::vector<std::unique_ptr<CDBCabinet>> cabinets;
    CObjArray<CDBElementEx> elements;
  };
  static void AddSampleElements(Selection& s, int year, int count) {
    for (const SampleElement& e : SampleElements(year, count)) {
      const size_t colon = e.key.find(':');
      const std::string id = e.key.substr(0, colon);
      const std::string alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
      static const int types[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
      s.cabinets.push_back(std::make_unique<CDBCabinet>(id.c_str(), alias.c_str(), 0, "", nullptr));
      s.elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), types[e.kind], s.cabinets.back().get()));
    }
  }

  // Writes a day file of the "Primary Copy" layout (names keyed by cabinet alias, exactly 15
  // characters: alias, ":", element): each name's records are `fill` bytes.
  struct PrimaryName {
    std::string name;
    int type;
    int size;
  };
  static void WritePrimaryCopyDay(const std::string& file, const std::vector<PrimaryName>& names, int columns,
                                  unsigned char fill = 0x41) {
    char header[513];
    int pos[14];
    ASSERT_EQ(NtsoBuildHeader(header, "", pos, 0), 0);
    std::string h(header, 512);
    std::string list;
    uint32_t offset = 512 + static_cast<uint32_t>(22 * names.size());
    uint32_t dataSize = 0;
    for (const PrimaryName& n : names) {
      ASSERT_EQ(n.name.size(), 15u);
      list += n.name + "Z" + static_cast<char>(n.type) + static_cast<char>(n.size);
      for (int i = 0; i < 4; ++i) list += static_cast<char>(offset >> (8 * i));
      offset += static_cast<uint32_t>(n.size * columns);
      dataSize += static_cast<uint32_t>(n.size * columns);
    }
    auto put = [&](int f, long long v) {
      char text[16];
      std::snprintf(text, sizeof text, "%8lld", v);
      h.replace(static_cast<size_t>(pos[f]), 8, text);
    };
    put(kFieldNames, static_cast<long long>(names.size()));
    put(kFieldColumns, columns);
    put(kFieldHeaderSize, 512);
    put(kFieldNameListSize, static_cast<long long>(list.size()));
    put(kFieldDataSize, dataSize);
    put(kFieldFileSize, 512 + static_cast<long long>(list.size()) + dataSize);
    std::string bytes = h + list + std::string(dataSize, static_cast<char>(fill));
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  static AppTempFolder* folder_;
  static std::vector<SampleDayInfo> days_;
};

// Records what a loader posts.
class RecordingPoster : public IWorkerPoster {
 public:
  void Post(UINT id, LPARAM payload) override { posts.emplace_back(id, payload); }
  // A path payload: its id among the posts, the path here.
  void PostPath(UINT id, const std::string& path) override {
    posts.emplace_back(id, 0);
    paths.push_back(path);
  }
  std::vector<UINT> Ids() const {
    std::vector<UINT> ids;
    for (const auto& p : posts) ids.push_back(p.first);
    return ids;
  }
  std::vector<std::pair<UINT, LPARAM>> posts;
  std::vector<std::string> paths;
};
