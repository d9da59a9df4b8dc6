#include "support/utilities.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/new_ptr_array.h"

namespace {

TEST(NumberParsers, SaturateAtTheTopOfTheirRange) {
  struct Case {
    const char* text;
    int base;
    int byteValue;
    int wordValue;
  };
  const Case cases[] = {
      {"300", 10, 255, 300}, {"255", 10, 255, 255}, {"254", 10, 254, 254}, {"70000", 10, 255, 65535},
      {"ff", 16, 255, 255},  {"1ff", 16, 255, 511}, {"12abc", 10, 12, 12},  {"-1", 10, 255, 65535},
      {"", 10, 0, 0},        {"xyz", 10, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const char* p = c.text;
    EXPECT_EQ(StringToByte(&p, c.base), c.byteValue);
    EXPECT_EQ(p, c.text);  // the text pointer is not moved
    EXPECT_EQ(StringToWord(&p, c.base), c.wordValue);
    EXPECT_EQ(StringToByte(c.text, c.base), c.byteValue);
  }
}

TEST(NumberParsers, CountedFormReadsOnlyItsLength) {
  EXPECT_EQ(StringToByte("1234", 2, 10), 12);
  EXPECT_EQ(StringToByte("255", 3, 10), 255);
  EXPECT_EQ(StringToByte("99", 10, 10), 99);  // a length past the NUL stops at the NUL
  // A field without a terminator is read no further than its length.
  const char field[3] = {'4', '2', '7'};
  EXPECT_EQ(StringToByte(field, 2, 10), 42);
  EXPECT_EQ(StringToByte(field, 0, 10), 0);
}

TEST(MasterCommTarget, DefaultsCopyCloneAndReset) {
  CMasterCommTarget t;
  EXPECT_EQ(t.m_nReplyTimeout, 1000u);
  EXPECT_EQ(t.m_nTransferTime, 0u);
  EXPECT_EQ(t.m_nGroup, 1u);
  EXPECT_EQ(t.m_nReserved, 0u);
  t.m_nReplyTimeout = 5;
  t.m_nTransferTime = 6;
  t.m_nGroup = 7;
  t.m_nReserved = 8;
  std::unique_ptr<CMasterCommTarget> clone(t.Clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->m_nTransferTime, 6u);
  EXPECT_EQ(clone->m_nReserved, 8u);
  CMasterCommTarget copy;
  copy = t;
  EXPECT_EQ(copy.m_nGroup, 7u);
  t.Reset();
  EXPECT_EQ(t.m_nReplyTimeout, 1000u);
  EXPECT_EQ(t.m_nGroup, 1u);
  EXPECT_EQ(t.m_nTransferTime, 0u);
}

TEST(NewPtrArray, KeepsBlocksSortedAndFreesTheRest) {
  CNewPtrArray blocks;
  void* a = ::operator new(16);
  void* b = ::operator new(32);
  void* c = ::operator new(8);
  blocks.Register(a);
  blocks.Register(b);
  blocks.Register(c);
  ASSERT_EQ(blocks.m_nSize, 3);
  for (int i = 1; i < blocks.m_nSize; ++i) EXPECT_LT(blocks.m_pData[i - 1], blocks.m_pData[i]);
  EXPECT_TRUE(blocks.Unregister(b));
  EXPECT_FALSE(blocks.Unregister(b));
  ::operator delete(b);
  EXPECT_EQ(blocks.m_nSize, 2);
  // a and c are freed by the destructor (the leak checker would report them otherwise).
}

}  // namespace
