// Enter adds from the list of available items and Delete removes from the selected list; no
// other key, list or message does either.
#include <gtest/gtest.h>

#include "app/select/select_lists.h"

namespace {

TEST(ListKeys, OnlyTheirOwnKeyInTheirOwnList) {
  HWND add = reinterpret_cast<HWND>(0x10), remove = reinterpret_cast<HWND>(0x20);
  const struct {
    UINT message;
    WPARAM key;
    HWND list;
    EListKey result;
  } cases[] = {
      {WM_KEYDOWN, VK_RETURN, add, EListKey::Add},     {WM_KEYDOWN, VK_DELETE, remove, EListKey::Remove},
      {WM_KEYDOWN, VK_RETURN, remove, EListKey::None}, {WM_KEYDOWN, VK_DELETE, add, EListKey::None},
      {WM_KEYDOWN, VK_SPACE, add, EListKey::None},     {WM_KEYDOWN, VK_SPACE, remove, EListKey::None},
      {WM_KEYUP, VK_RETURN, add, EListKey::None},      {WM_KEYUP, VK_DELETE, remove, EListKey::None},
  };
  for (const auto& c : cases) {
    MSG msg{};
    msg.hwnd = c.list;
    msg.message = c.message;
    msg.wParam = c.key;
    EXPECT_EQ(ListKeyOf(&msg, add, remove), c.result) << c.message << " " << c.key;
  }
}

}  // namespace
