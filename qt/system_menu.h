#pragma once

#include <functional>

class QMenu;
class QWidget;

// System commands, numbered as Windows numbers them.
inline constexpr int SC_CLOSE = 0xF060;

// The commands a Windows dialog offers on its title bar's window menu. A Linux window manager
// owns that menu, so the dialog shows them as its context menu: "关闭(&C)", then a separator and
// `aboutText` (id IDM_ABOUTBOX). Choosing one calls `onCommand` with its id.
QMenu* CreateSystemMenu(QWidget& owner, const char* aboutText,
                        const std::function<void(int id)>& onCommand);
