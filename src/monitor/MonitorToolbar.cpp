#include "monitor/MonitorToolbar.h"

#include <QStyle>

#include "monitor/Pictures.h"

namespace rheo {

MonitorToolbar::MonitorToolbar(QWidget* parent) : QToolBar(parent) {
    setObjectName("Toolbar1");
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(21, 21));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setContextMenuPolicy(Qt::PreventContextMenu);

    AddButton(1, 1, "New", "BNuevo", "Create a new session");
    AddButton(2, 2, "Open", "BAbrir", "Open an existing session");
    AddButton(3, 3, "Close", "BCerrar", "Close the current session");
    AddSeparator(4);
    AddButton(5, 4, "View Log", "BLog", "Open log file");
    AddSeparator(6);
    AddButton(kPortButton, kPortPicture, "Port", "BPort", "Select communication port");
    AddSeparator(8);
    AddButton(kAboutButton, 6, "About..", "BAbout", nullptr);
    // Added after the nine items that keep their positions: a separator and the trend.
    AddSeparator(10);
    AddButton(kTrendButton, kTrendPicture, "Trend", "BTrend", "Show the trend of the readings");

    // The port button: its face does nothing, its four entries choose the port.
    portMenu_ = new QMenu(this);
    portMenu_->setObjectName("BPortMenu");
    static constexpr std::array<const char*, 4> kEntryKeys = {"Port 1", "COM2", "COM3", "COM4"};
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = portMenu_->addAction(QStringLiteral("Port %1").arg(entry));
        action->setObjectName(QString::fromLatin1(kEntryKeys[entry - 1]));
        connect(action, &QAction::triggered, this, [this, entry] { emit ButtonMenuClick(entry); });
        portEntries_[entry - 1] = action;
    }
    QToolButton* port = Button(kPortButton);
    port->setMenu(portMenu_);
    port->setPopupMode(QToolButton::MenuButtonPopup);
}

void MonitorToolbar::AddButton(int position, int picture, const char* caption, const char* key,
                               const char* toolTip) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(key));
    button->setText(QString::fromLatin1(caption));
    button->setIcon(ToolbarPicture(picture));
    button->setIconSize(QSize(21, 21));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setMinimumWidth(48);
    if (toolTip != nullptr) {
        button->setToolTip(QString::fromLatin1(toolTip));
    }
    connect(button, &QToolButton::clicked, this, [this, position] { emit ButtonClick(position); });
    items_[position - 1] = addWidget(button);
    buttons_[position - 1] = button;
}

void MonitorToolbar::AddSeparator(int position) {
    QAction* separator = addSeparator();
    separator->setObjectName(QStringLiteral("Toolbar1Sep%1").arg(position));
    items_[position - 1] = separator;
}

void MonitorToolbar::ShowPortLost(bool lost, const QString& toolTip) {
    QToolButton* port = Button(kPortButton);
    port->setIcon(lost ? style()->standardIcon(QStyle::SP_MessageBoxWarning)
                       : ToolbarPicture(kPortPicture));
    port->setToolTip(toolTip);
}

QAction* MonitorToolbar::Item(int position) const {
    return (position >= 1 && position <= kItems) ? items_[position - 1] : nullptr;
}

QToolButton* MonitorToolbar::Button(int position) const {
    return (position >= 1 && position <= kItems) ? buttons_[position - 1] : nullptr;
}

QAction* MonitorToolbar::PortEntry(int entry) const {
    return (entry >= 1 && entry <= 4) ? portEntries_[entry - 1] : nullptr;
}

}  // namespace rheo
