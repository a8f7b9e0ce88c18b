#include "monitor/FormMonitor.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>

#include <algorithm>

#include "monitor/Pictures.h"
#include "platform/DesktopShell.h"
#include "platform/ProgramLocation.h"
#include "platform/qt/QtText.h"
#include "recording/EventLog.h"
#include "recording/SessionCommands.h"
#include "recording/SessionState.h"

#include "auxiliary/FormDebug.h"
#include "auxiliary/Splash.h"

namespace rheo {

FormMonitor::FormMonitor(const ReadingHistory& history, MonitorHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      history_(history),
      host_(host) {
    setObjectName("FormMonitor");
    setFixedSize(kClientWidth, kClientHeight);
    setWindowTitle(QString::fromLatin1(kNoFileCaption));
    setWindowIcon(ApplicationIcon());

    Toolbar1_ = new MonitorToolbar(this);
    Toolbar1_->setGeometry(0, 0, 560, 47);
    connect(Toolbar1_, &MonitorToolbar::ButtonClick, this, &FormMonitor::Toolbar1_ButtonClick);
    connect(Toolbar1_, &MonitorToolbar::ButtonMenuClick, this,
            &FormMonitor::Toolbar1_ButtonMenuClick);

    BuildList();

    MArch_ = new CommandMenu(this);
    ConnectMenu();

    // No session at start: the close command is off in the menu and on the toolbar alike.
    SetCloseCommandEnabled(false);

    // A developer's aid with no menu item or button: the serial link's debug window.
    auto* debug = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+D")), this);
    debug->setObjectName("DebugShortcut");
    connect(debug, &QShortcut::activated, this, &FormMonitor::ShowDebugWindow);
}

FormMonitor::~FormMonitor() = default;

namespace {

// Rows as tall as the small face's glyphs (without its line spacing), so that all twenty rows,
// the newest reading at the bottom among them, fit the list without scrolling.
class CompactRows : public QStyledItemDelegate {
  public:
    CompactRows(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

  private:
    int height_;
};

// Cells with a margin of one pixel on either side instead of the style's three: the speed and
// torque columns are only 20 pixels wide.
class NarrowCellMargins : public QProxyStyle {
  public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_FocusFrameHMargin) {
            return 0;  // the cell's text margin is this plus one
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The list's face: a narrow one, by platform (Liberation Sans Narrow comes with the Debian
// package's fonts), at the largest size up to 8 points (11 pixels) at which the widest values
// the instrument sends for the date, the hour, the speed and the torque show whole in their
// columns; not below 8 pixels.
QFont ListFont(QFont font, int textMargin) {
#ifdef _WIN32
    font.setFamilies({QStringLiteral("Microsoft Sans Serif")});
#else
    font.setFamilies({QStringLiteral("Liberation Sans Narrow")});
#endif
    constexpr int kLargest = 11;
    constexpr int kSmallest = 8;
    for (int pixels = kLargest; pixels >= kSmallest; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        bool fits = true;
        for (int column = 0; column < ReadingListModel::kColumns; ++column) {
            const char* widest = ReadingListModel::kWidestValues[column];
            fits = fits && metrics.horizontalAdvance(QString::fromLatin1(widest)) <=
                               ReadingListModel::kWidths[column] - 2 * textMargin;
        }
        if (fits) {
            break;
        }
    }
    return font;
}

}  // namespace

void FormMonitor::BuildList() {
    model_ = new ReadingListModel(this);
    ListView2_ = new QTreeView(this);
    ListView2_->setObjectName("ListView2");
    ListView2_->setGeometry(0, 48, 561, 305);
    // The columns are narrow (20 to 87 pixels): slim cell margins and a narrow face sized so
    // that the values show whole.
    auto* cellStyle = new NarrowCellMargins;
    cellStyle->setParent(ListView2_);
    ListView2_->setStyle(cellStyle);
    const int textMargin =
        cellStyle->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ListView2_) + 1;
    ListView2_->setFont(ListFont(ListView2_->font(), textMargin));
    ListView2_->setModel(model_);
    ListView2_->setRootIsDecorated(false);
    ListView2_->setItemsExpandable(false);
    ListView2_->setUniformRowHeights(true);
    ListView2_->setAllColumnsShowFocus(true);
    ListView2_->setSelectionMode(QAbstractItemView::NoSelection);
    ListView2_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView2_->setFocusPolicy(Qt::NoFocus);
    ListView2_->setSortingEnabled(false);
    ListView2_->setContextMenuPolicy(Qt::PreventContextMenu);
    ListView2_->header()->setStretchLastSection(false);
    ListView2_->header()->setSectionsMovable(false);
    ListView2_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView2_->header()->setMinimumSectionSize(1);  // RPM and % are 20 pixels wide
    for (int column = 0; column < ReadingListModel::kColumns; ++column) {
        ListView2_->header()->resizeSection(column, ReadingListModel::kWidths[column]);
    }
    const int frames = 2 * ListView2_->frameWidth();
    const int rows = (ListView2_->height() - frames - ListView2_->header()->sizeHint().height()) /
                     static_cast<int>(ReadingHistory::kUsedSlots);
    ListView2_->setItemDelegate(new CompactRows(std::max(rows, 12), ListView2_));
    ListView2_->viewport()->installEventFilter(this);
}

void FormMonitor::ConnectMenu() {
    connect(MArch_->MArchNew, &QAction::triggered, this, &FormMonitor::NuevoArchivo);
    connect(MArch_->MArchOpen, &QAction::triggered, this, &FormMonitor::AbrirArchivo);
    connect(MArch_->MArchClose, &QAction::triggered, this, &FormMonitor::CerrarArchivo);
    connect(MArch_->MArchLog, &QAction::triggered, this, &FormMonitor::VerLog);
    connect(MArch_->MArchTrend, &QAction::triggered, this, [this] { host_.ShowTrend(); });
    for (int port = 1; port <= 4; ++port) {
        connect(MArch_->MArchPorts[port - 1], &QAction::triggered, this,
                [this, port] { host_.Abrir_Puerto(static_cast<std::uint8_t>(port)); });
    }
    connect(MArch_->MAbout, &QAction::triggered, this, &FormMonitor::About);
    connect(MArch_->MArchQuit, &QAction::triggered, this, [this] { host_.Quit(); });
}

void FormMonitor::RefreshMonitor() {
    model_->Rebuild(history_);
    ListView2_->scrollToTop();
}

void FormMonitor::SetColumnCaption(int column, const Text& caption) {
    model_->SetColumnTitle(column, ToQString(caption));
}

void FormMonitor::SetCaption(const std::string& caption) {
    // The caption may carry the session file's path, which travels as UTF-8.
    setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void FormMonitor::SetCloseCommandEnabled(bool enabled) {
    MArch_->MArchClose->setEnabled(enabled);
    Toolbar1_->Button(3)->setEnabled(enabled);
}

void FormMonitor::ShowPortMarks(const PortMarks& marks) {
    Toolbar1_->Button(MonitorToolbar::kPortButton)->setText(ToQString(marks.buttonCaption));
    Toolbar1_->ShowPortLost(marks.lost, ToQString(marks.toolTip));
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = Toolbar1_->PortEntry(entry);
        action->setText(ToQString(marks.entries[entry - 1].text));
        action->setEnabled(marks.entries[entry - 1].enabled);
    }
}

void FormMonitor::NuevoArchivo() {
    host_.Sessions().NuevoArchivo();
}

void FormMonitor::AbrirArchivo() {
    host_.Sessions().AbrirArchivo();
}

void FormMonitor::CerrarArchivo() {
    host_.Sessions().CerrarArchivo();
}

void FormMonitor::VerLog() {
    // The desktop opens the log in the user's text viewer; nothing waits for it and its
    // result is not looked at.
    host_.Shell().Open(host_.ProgramDirectory() + PathSeparator() + kEventLogFileName, true);
}

void FormMonitor::About() {
    Splash::ShowModal(SplashMode::About, this);
}

void FormMonitor::ShowCentred() {
    if (!centred_) {
        centred_ = true;
        const QScreen* screen = this->screen();
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen != nullptr) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    show();
    activateWindow();
}

void FormMonitor::Toolbar1_ButtonClick(int position) {
    switch (position) {
        case 1:
            NuevoArchivo();
            break;
        case 2:
            AbrirArchivo();
            break;
        case 3:
            CerrarArchivo();
            break;
        case 5:
            VerLog();
            break;
        case MonitorToolbar::kTrendButton:
            host_.ShowTrend();
            break;
        case MonitorToolbar::kAboutButton:
            About();
            break;
        default:
            break;  // separators and the face of the port button
    }
}

void FormMonitor::Toolbar1_ButtonMenuClick(int entry) {
    host_.Abrir_Puerto(static_cast<std::uint8_t>(entry));
}

void FormMonitor::ShowDebugWindow() {
    debugWindow_ = FormDebug::ShowWindow(host_.Link(), host_.Time(), this);
}

void FormMonitor::closeEvent(QCloseEvent* event) {
    event->accept();
    host_.EndProgram();
}

bool FormMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView2_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            MArch_->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace rheo
