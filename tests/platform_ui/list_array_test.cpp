// List boxes that mirror arrays: box and array in step, with and without a window.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "containers/list_array.h"
#include "platform/ui/dialog.h"
#include "platform/ui/wnd_state.h"
#include "ui_fixture.h"

namespace {

struct Item {
  std::string name;
  static int alive;
  explicit Item(std::string n = "") : name(std::move(n)) { ++alive; }
  Item(const Item& o) : name(o.name) { ++alive; }
  Item& operator=(const Item& o) = default;
  ~Item() { --alive; }
  bool operator<(const Item& o) const { return name < o.name; }
  bool operator==(const Item& o) const { return name == o.name; }
};
int Item::alive = 0;

void ItemText(CStr<char, wchar_t>& text, Item* item) { text = ("line " + item->name).c_str(); }

enum : int { IDC_BOX = 4001 };
const DialogTemplate kHost{9500, "Lists", 120, 80, {{Ctl::ListBox, IDC_BOX, "", 0, 7, 7, 100, 64}}};

class ListArrayTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    RegisterDialogTemplate(&kHost);
  }
  // Opens a dialog and attaches the list to its (empty) list-box control.
  void Attach(CListBox& list) {
    ASSERT_TRUE(host.Create(9500));
    ASSERT_TRUE(list.SubclassDlgItem(IDC_BOX, &host));
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> out;
    auto* box = static_cast<CListBox*>(host.GetDlgItem(IDC_BOX));
    for (int i = 0; i < box->GetCount(); ++i) out.push_back(box->GetTextString(i));
    return out;
  }
  CDialog host;
  Item a{"a"}, b{"b"}, c{"c"}, d{"d"};
};

using L = std::vector<std::string>;

TEST_F(ListArrayTest, ElementsAddedBeforeTheWindowAppearWhenAttached) {
  CAdrList<Item> list(ItemText);
  EXPECT_EQ(list.Add(a), 0);
  EXPECT_EQ(list.Add(b), 1);
  EXPECT_EQ(list.ListAddString("x"), LB_ERR);  // no window: nothing sent
  EXPECT_EQ(list.ListDeleteString(0), LB_ERR);
  Attach(list);
  EXPECT_EQ(Lines(), (L{"line a", "line b"}));
  EXPECT_EQ(list.Add(c), 2);
  EXPECT_EQ(Lines(), (L{"line a", "line b", "line c"}));
}

TEST_F(ListArrayTest, RemoveMoveAndResetKeepBoxAndArrayInStep) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  for (Item* x : {&a, &b, &c, &d}) list.Add(*x);
  list.RemoveAt(1, 5);  // clamped: b, c, d go
  EXPECT_EQ(list.m_nSize, 1);
  EXPECT_EQ(Lines(), (L{"line a"}));
  list.Add(b);
  EXPECT_FALSE(list.MoveUp(0));
  EXPECT_FALSE(list.MoveDown(1));
  EXPECT_TRUE(list.MoveDown(0));
  EXPECT_EQ(list.m_pData[0], &b);
  EXPECT_EQ(Lines(), (L{"line b", "line a"}));
  EXPECT_TRUE(list.MoveUp(1));
  EXPECT_EQ(Lines(), (L{"line a", "line b"}));
  list.RemoveAll();  // only the array
  EXPECT_EQ(list.m_nSize, 0);
  EXPECT_EQ(Lines().size(), 2u);
  list.Add(c);
  list.Empty();  // both
  EXPECT_EQ(list.m_nSize, 0);
  EXPECT_TRUE(Lines().empty());
  list.Add(a);
  list.ListResetContent();
  EXPECT_EQ(list.m_nSize, 0);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(ListArrayTest, InsertPastTheEndAppendsInBoxAndArray) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  list.Add(a);
  EXPECT_EQ(list.InsertAt(7, b), 1);
  EXPECT_EQ(list.InsertAt(0, c), 0);
  EXPECT_EQ(list.InsertAt(-1, d), -1);
  EXPECT_EQ(Lines(), (L{"line c", "line a", "line b"}));
  // Operations reached through the virtual table keep the box too.
  Item head;
  EXPECT_TRUE(list.RemoveHead(head));
  EXPECT_EQ(head.name, "c");
  EXPECT_EQ(Lines(), (L{"line a", "line b"}));
  EXPECT_EQ(list.AddUnique(a), 0);
  EXPECT_EQ(list.AddUnique(d), 2);
  EXPECT_EQ(Lines(), (L{"line a", "line b", "line d"}));
}

TEST_F(ListArrayTest, RemoveSendsOnlyAsManyDeletionsAsElementsWent) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  list.Add(a);
  list.Add(b);
  // The owner added a line of its own below the elements' lines.
  static_cast<CListBox*>(host.GetDlgItem(IDC_BOX))->AddString("footer");
  list.RemoveAt(0, 10);
  EXPECT_EQ(Lines(), (L{"footer"}));
}

TEST_F(ListArrayTest, CopyAndAppendOfAddressLists) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  list.Add(a);
  CAdrArray<Item> other;
  other.Add(c);
  other.Add(d);
  list.Copy(other);
  EXPECT_EQ(Lines(), (L{"line c", "line d"}));
  list.Copy(list);  // its own array: nothing
  EXPECT_EQ(Lines(), (L{"line c", "line d"}));
  list.Append(list);  // self-append doubles both
  EXPECT_EQ(list.m_nSize, 4);
  EXPECT_EQ(Lines(), (L{"line c", "line d", "line c", "line d"}));
  list.Append(other);
  EXPECT_EQ(Lines().size(), 6u);
}

TEST_F(ListArrayTest, OwningListCopiesObjectsAndCopyLeavesOldLines) {
  int before = Item::alive;
  {
    CObjList<Item> list(ItemText);
    Attach(list);
    list.Add(a);
    list.Add(b);
    EXPECT_NE(list.m_pData[0], &a);  // a copy
    EXPECT_EQ(Item::alive, before + 2);
    CObjArray<Item> other;
    other.Add(c);
    list.Copy(other);
    EXPECT_EQ(list.m_nSize, 1);
    EXPECT_EQ(Lines(), (L{"line a", "line b"}));  // the box stays as it was
    list.Refill();
    EXPECT_EQ(Lines(), (L{"line c"}));
    list.RemoveAt(0, 1);
    EXPECT_TRUE(Lines().empty());
    list.Add(d);
    list.Empty();
    EXPECT_EQ(Item::alive, before + 1);  // `other` still holds its copy
  }
  EXPECT_EQ(Item::alive, before);
}

TEST_F(ListArrayTest, WindowDestroyedBeforeTheListLeavesTheArrayUsable) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  list.Add(a);
  host.DestroyWindow();
  EXPECT_EQ(list.m_hWnd, nullptr);
  EXPECT_EQ(list.Add(b), 1);  // no window: array only
  list.RemoveAt(0, 1);
  EXPECT_EQ(list.m_nSize, 1);
  // A new dialog attaches a new, empty box that shows the elements once.
  Attach(list);
  EXPECT_EQ(Lines(), (L{"line b"}));
}

TEST_F(ListArrayTest, WorkerRequestsReachTheBoxThroughTheUiThread) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    list.Add(a);
    list.Add(b);
    list.MoveDown(0);
    done = true;
  });
  EXPECT_TRUE(qav::ui::WaitServingSends([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_EQ(Lines(), (L{"line b", "line a"}));
}

// The worker tests the list's handle to see whether the box still has a window, as the line
// requests do, while the UI thread destroys the window and clears the handle. A plain read is
// a data race (ThreadSanitizer reports it); the handle is read and written atomically.
TEST_F(ListArrayTest, WorkerAsksForTheWindowWhileTheUiThreadDestroysIt) {
  CAdrList<Item> list(ItemText);
  Attach(list);
  std::atomic<long> spins{0};
  std::atomic<bool> added{false};
  std::thread worker([&] {
    while (::IsWindow(list.m_hWnd)) ++spins;
    added = list.Add(a) == 0;  // no window: array only
  });
  EXPECT_TRUE(qav::ui::WaitServingSends([&] { return spins.load() > 1000; }, 5000));
  host.DestroyWindow();
  worker.join();
  EXPECT_EQ(list.m_hWnd, nullptr);
  EXPECT_TRUE(added.load());
  EXPECT_EQ(list.m_nSize, 1);
}

}  // namespace
