#include "app/select/element_choice.h"

#include <gtest/gtest.h>

#include "app/select/element_trees.h"

namespace {

using Strings = std::vector<std::string>;

class ElementChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trees.AddRoadway("I-5", {{"005es00200", {"_MN___1", "_MS___1"}}, {"005es00100", {"_MN___2"}}});
    trees.AddRoadway("SR 520", {{"520es00300", {"_ME___1"}}});
  }
  TestTrees trees;
  CAdrArray<CDBElementEx> selected;
  CSelectionTemporaries temps;
  int road = -1, cab = -1;
};

TEST_F(ElementChoiceTest, MergeUsesTreeElementsAndMakesEachMissingPieceOnce) {
  ViewSelection view;
  view.Add("I-5", "005es00200", "_MS___1");  // in the trees
  view.Add("I-5", "005es00100", "_MN___9");  // cabinet known, element not
  view.Add("I-5", "005es00900", "_MN___1");  // roadway known, cabinet not
  view.Add("I-5", "005es00900", "_MN___2");  // the same missing cabinet again
  view.Add("SR 167", "167es00100", "_MN___1");  // roadway missing
  view.Add("i-5", "005es00100", "_MN___9");  // the same missing element again (name case aside)
  view.elements.Add(CDBElementEx("_MN___4", ET_LOOP, nullptr));  // no cabinet: passed over
  view.Add("SR 520", "520es00300", "_ME___1");  // in the trees: the last one found
  MergeSelection(view.elements, trees.R, trees.K, trees.E, selected, temps, road, cab);

  EXPECT_EQ(ElementLines(selected), (Strings{"005es00200:_MS___1", "005es00100:_MN___9", "005es00900:_MN___1",
                                             "005es00900:_MN___2", "167es00100:_MN___1", "005es00100:_MN___9",
                                             "520es00300:_ME___1"}));
  EXPECT_EQ(selected.m_pData[0], trees.Element(0, 1, 1));
  EXPECT_EQ(selected.m_pData[1]->cabinet, trees.Cabinet(0, 0));
  EXPECT_EQ(selected.m_pData[2]->cabinet->roadway, trees.R.m_pData[0]);
  EXPECT_EQ(selected.m_pData[3]->cabinet, selected.m_pData[2]->cabinet);
  EXPECT_EQ(selected.m_pData[5], selected.m_pData[1]);
  EXPECT_STREQ(selected.m_pData[4]->RoadwayName(), "SR 167");
  EXPECT_EQ(selected.m_pData[6], trees.Element(1, 0, 0));
  EXPECT_EQ(temps.elements.m_nSize, 4);
  EXPECT_EQ(temps.cabinets.m_nSize, 2);
  EXPECT_EQ(temps.roadways.m_nSize, 1);
  EXPECT_EQ(road, 1);
  EXPECT_EQ(cab, 0);
  // Nothing shown points into the view's own arrays.
  for (int i = 0; i < selected.m_nSize; ++i)
    for (int c = 0; c < view.cabinets.m_nSize; ++c) EXPECT_NE(selected.m_pData[i]->cabinet, view.cabinets.m_pData[c]);
}

TEST_F(ElementChoiceTest, AnEmptySelectionOpensOnTheFirstLines) {
  ViewSelection view;
  MergeSelection(view.elements, trees.R, trees.K, trees.E, selected, temps, road, cab);
  EXPECT_EQ(selected.m_nSize, 0);
  EXPECT_EQ(road, 0);
  EXPECT_EQ(cab, 0);
  // Empty trees: every element becomes a temporary.
  TestTrees empty;
  view.Add("I-5", "005es00200", "_MS___1");
  MergeSelection(view.elements, empty.R, empty.K, empty.E, selected, temps, road, cab);
  ASSERT_EQ(selected.m_nSize, 1);
  EXPECT_EQ(selected.m_pData[0], temps.elements.m_pData[0]);
}

TEST_F(ElementChoiceTest, CopyBackKeepsListOrderWithEachRoadwayAndCabinetOnce) {
  selected.Add(*trees.Element(1, 0, 0));
  selected.Add(*trees.Element(0, 1, 1));
  CDBElementEx orphan("_MN___4", ET_LOOP, nullptr);  // no cabinet: passed over, the rest still copied
  selected.Add(orphan);
  selected.Add(*trees.Element(0, 0, 0));
  selected.Add(*trees.Element(0, 1, 0));
  CObjArray<CDBRoadway> roadways;
  CObjArray<CDBCabinet> cabinets;
  CObjArray<CDBElementEx> elements;
  ViewSelection old;
  old.Add("I-90", "090es00100", "_MN___1");
  roadways.Copy(old.roadways);  // the view's earlier choice is replaced, not added to
  cabinets.Copy(old.cabinets);
  elements.Copy(old.elements);
  CopyBackSelection(selected, roadways, cabinets, elements);
  EXPECT_EQ(ElementLines(elements),
            (Strings{"520es00300:_ME___1", "005es00200:_MS___1", "005es00100:_MN___2", "005es00200:_MN___1"}));
  ASSERT_EQ(roadways.m_nSize, 2);
  EXPECT_STREQ(roadways.m_pData[0]->name, "SR 520");
  EXPECT_STREQ(roadways.m_pData[1]->name, "I-5");
  ASSERT_EQ(cabinets.m_nSize, 3);
  EXPECT_STREQ(cabinets.m_pData[1]->id, "005es00200");
  EXPECT_EQ(elements.m_pData[1]->cabinet, cabinets.m_pData[1]);
  EXPECT_EQ(elements.m_pData[3]->cabinet, cabinets.m_pData[1]);
  EXPECT_EQ(cabinets.m_pData[1]->roadway, roadways.m_pData[1]);
  EXPECT_EQ(cabinets.m_pData[0]->roadway, roadways.m_pData[0]);
}

TEST(ElementNameWordsTest, EachLetterByItsPosition) {
  struct Case {
    const char* name;
    Strings words;
  };
  const Case cases[] = {
      {"_MS_X_1", {"GP", "Mainline", "Southbound", "", "Exit", "Loop", "1"}},
      {"TXWVMtn", {"Tolling", "Cross-Street", "Westbound", "Metered HOV", "Merge", "Station", ""}},
      {"ARN2_R9", {"Auxiliary", "Reversible", "Northbound", "Additional", "Mainline", "Metered Lane", "9"}},
      {"MCE", {"Metered", "CD", "Eastbound", "", "", "", ""}},
      {"", {"", "", "", "", "", "", ""}},
  };
  for (const Case& c : cases) {
    const char* words[7];
    ElementNameWords(c.name, words);
    EXPECT_EQ(Strings(words, words + 7), c.words) << c.name;
  }
}

}  // namespace
