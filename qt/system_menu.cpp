#include "qt/system_menu.h"

#include <QMenu>

#include "qt/resource.h"

QMenu* CreateSystemMenu(QWidget& owner, const char* aboutText,
                        const std::function<void(int id)>& onCommand) {
  auto* menu = new QMenu(&owner);
  menu->setObjectName("systemMenu");
  // The window manager's own Alt+F4 does the closing; the menu only names it.
  menu->addAction("关闭(&C)\tAlt+F4")->setData(SC_CLOSE);
  menu->addSeparator();
  menu->addAction(QString::fromUtf8(aboutText))->setData(IDM_ABOUTBOX);
  QObject::connect(menu, &QMenu::triggered,
                   [onCommand](QAction* action) { onCommand(action->data().toInt()); });
  return menu;
}
