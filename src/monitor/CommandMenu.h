#pragma once
#include <QAction>
#include <QMenu>
#include <array>

namespace rheo {

// MArch: the command menu, never a menu bar, opened as a context menu over the reading list.
// It holds every command; the items are named as the window's menu items.
class CommandMenu : public QMenu {
    Q_OBJECT
  public:
    explicit CommandMenu(QWidget* parent);

    QAction* MArchNew = nullptr;
    QAction* MArchOpen = nullptr;
    QAction* MArchClose = nullptr;
    QAction* MArchLog = nullptr;
    QAction* MArchTrend = nullptr;
    QMenu* MArchPort = nullptr;
    std::array<QAction*, 4> MArchPorts{};  // MArchPort1 to MArchPort4
    QAction* MAbout = nullptr;
    QAction* MArchQuit = nullptr;

  private:
    QAction* AddItem(QMenu* menu, const char* name, const char* caption);
    void AddSeparator(const char* name);
};

}  // namespace rheo
