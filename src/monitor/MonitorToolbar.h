#pragma once
#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <array>

namespace rheo {

// Toolbar1: eleven items numbered by position from 1, separators at 4, 6, 8 and 10, the
// drop-down port button at 7, About at 9 and the trend button at 11. Clicks are reported by
// position, never by key.
class MonitorToolbar : public QToolBar {
    Q_OBJECT
  public:
    static constexpr int kItems = 11;
    static constexpr int kPortButton = 7;
    static constexpr int kAboutButton = 9;
    static constexpr int kTrendButton = 11;
    static constexpr int kPortPicture = 5;
    static constexpr int kTrendPicture = 7;

    explicit MonitorToolbar(QWidget* parent);

    // The toolbar item at a position (1 to 11): its action, and its button (null for separators).
    QAction* Item(int position) const;
    QToolButton* Button(int position) const;
    // Entry 1 to 4 of the port button's drop-down.
    QAction* PortEntry(int entry) const;
    QMenu* PortMenu() const { return portMenu_; }
    // The port button's picture and tool tip: a warning picture while the open port is lost,
    // its own picture otherwise.
    void ShowPortLost(bool lost, const QString& toolTip);

  signals:
    void ButtonClick(int position);
    void ButtonMenuClick(int entry);

  private:
    void AddButton(int position, int picture, const char* caption, const char* key,
                   const char* toolTip);
    void AddSeparator(int position);

    std::array<QAction*, kItems> items_{};
    std::array<QToolButton*, kItems> buttons_{};
    std::array<QAction*, 4> portEntries_{};
    QMenu* portMenu_ = nullptr;
};

}  // namespace rheo
