#include "auxiliary/Splash.h"

#include <algorithm>

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "app/Startup.h"
#include "app/WebLink.h"
#include "auxiliary/SplashLabel.h"
#include "platform/qt/QtMessageBoxes.h"
#include "vocabulary/Captions.h"
#include "vocabulary/Version.h"
#ifdef Q_OS_WIN
#include "platform/win32/Win32DesktopShell.h"
#else
#include "platform/posix/PosixDesktopShell.h"
#endif

// The pictures are compiled into a static library: their registration must be asked for.
static void InitArtResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(art);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace rheo {
namespace {

const QColor kOutlineColour(0, 0, 192);
const QString kCopyright = QString::fromUtf8(
    "Copyright \u00A9 2005 Kavrel S.L. All rights reserved.\n"
    "RHEOTRACKPANEL is a registered trademark of Kavrel S.L.");

struct WebLinkParts {
    DesktopShell* shell = nullptr;
    MessageBoxes* boxes = nullptr;
    std::string programDirectory;
};

WebLinkParts& WebLink() {
    static WebLinkParts parts;
    return parts;
}

// The rectangle outline drawn on the window's surface. The pointer passes through it, so
// moving over it counts as moving over the window itself.
class OutlineShape : public QWidget {
  public:
    explicit OutlineShape(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(kOutlineColour, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QFont ArialFont(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

// A label on a white ground, as the texts below the picture are. Where the desktop's Arial
// (or its stand-in) is wider than the one the layout was made with, a label grows to the right,
// up to maxWidth, rather than cut its text off.
QLabel* WhiteLabel(QWidget* parent, const char* name, const QString& text, qreal points,
                   const QRect& geometry, int maxWidth) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(ArialFont(points));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setAttribute(Qt::WA_NoMousePropagation);
    const int needed = label->fontMetrics().boundingRect(geometry, Qt::AlignLeft, text).width() + 1;
    label->setGeometry(geometry.x(), geometry.y(),
                       std::clamp(needed, geometry.width(), std::max(geometry.width(), maxWidth)),
                       geometry.height());
    return label;
}

void SetLabelColours(QLabel* label, const QColor& background, const QColor& text) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
}

}  // namespace

void Splash::ShowModal(SplashMode mode, QWidget* parent) {
    Splash splash(parent);
    splash.SetMode(mode);
    splash.exec();
}

void Splash::SetWebLink(DesktopShell* shell, MessageBoxes* boxes, std::string programDirectory) {
    WebLink() = WebLinkParts{shell, boxes, std::move(programDirectory)};
}

Splash::Splash(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    InitArtResources();
    setObjectName(QStringLiteral("Splash"));
    setWindowTitle(QStringLiteral("Acerca de..."));
    setWindowIcon(QIcon(QStringLiteral(":/art/splash-icon.png")));
    setFont(ArialFont(8.25));  // the window's own font, which the "Close" label uses
    setFixedSize(kWidth, kHeight);
    setMouseTracking(true);

    auto* shape1 = new OutlineShape(this);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setGeometry(0, 0, kWidth, kHeight);

    auto* picture2 = new QLabel(this);
    picture2->setObjectName(QStringLiteral("Picture2"));
    picture2->setPixmap(QPixmap(QStringLiteral(":/art/splash.jpg")));
    picture2->setAttribute(Qt::WA_NoMousePropagation);
    picture2->setGeometry(1, 1, 425, 306);

    // Label3 may grow up to the "Close" label, Label1 up to the link's picture.
    WhiteLabel(this, "Label3",
               QString::fromLatin1(kProgramTitle) + QStringLiteral(" v") +
                   QString::fromLatin1(kProgramVersion),
               8.25, QRect(8, 312, 120, 14), 352);
    WhiteLabel(this, "Label6", kCopyright, 6.75, QRect(8, 344, 337, 30), 352);
    WhiteLabel(this, "Label1", QStringLiteral("Developed by"), 8.25, QRect(264, 408, 66, 14), 76);

    Label5_ = new SplashLabel(this);
    Label5_->setObjectName(QStringLiteral("Label5"));
    Label5_->setText(QStringLiteral("   Close  "));
    Label5_->setTextFormat(Qt::PlainText);
    Label5_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5_->setAutoFillBackground(true);  // the system window colours until the pointer moves
    Label5_->setMouseTracking(true);
    Label5_->setGeometry(368, 320, 46, 15);
    connect(Label5_, &SplashLabel::pointerMoved, this, &Splash::InvertCloseLabel);
    connect(Label5_, &SplashLabel::clicked, this, &Splash::Finish);

    auto* picture1 = new SplashLabel(this);
    picture1->setObjectName(QStringLiteral("Picture1"));
    picture1->setPixmap(QPixmap(QStringLiteral(":/art/webLink.bmp")));
    picture1->setCursor(QCursor(QPixmap(QStringLiteral(":/art/link-cursor.png")), 1, 1));
    picture1->setGeometry(344, 408, 69, 14);
    connect(picture1, &SplashLabel::clicked, this, &Splash::OpenWebPage);

    shape1->raise();  // an outline only: it covers the picture's edge but takes no input

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(kCloseAfterMs);
    Timer1_->setTimerType(Qt::PreciseTimer);  // a coarse one may end the splash 150 ms early
    connect(Timer1_, &QTimer::timeout, this, &Splash::Finish);
    Timer1_->start();

    if (QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

Splash::~Splash() = default;

void Splash::SetMode(SplashMode mode) {
    if (mode == SplashMode::Startup) {
        Timer1_->start();  // counts from now, just before the window is shown
        Label5_->setVisible(false);
    } else {
        Timer1_->stop();
        Label5_->setVisible(true);
    }
}

void Splash::reject() {}

void Splash::mouseMoveEvent(QMouseEvent* event) {
    PlainCloseLabel();
    QDialog::mouseMoveEvent(event);
}

void Splash::Finish() {
    Timer1_->stop();
    done(QDialog::Accepted);
}

void Splash::InvertCloseLabel() {
    SetLabelColours(Label5_, Qt::black, Qt::white);
}

void Splash::PlainCloseLabel() {
    SetLabelColours(Label5_, Qt::white, Qt::black);
}

void Splash::OpenWebPage() {
    WebLinkParts& parts = WebLink();
    QtMessageBoxes ownBoxes(this);
    MessageBoxes& boxes = parts.boxes != nullptr ? *parts.boxes : ownBoxes;
    DesktopShell* shell = parts.shell;
#ifdef Q_OS_WIN
    Win32DesktopShell desktop(static_cast<std::uintptr_t>(winId()));  // this window owns it
#else
    PosixDesktopShell desktop;
#endif
    if (shell == nullptr) {
        shell = &desktop;
    }
    const std::string directory =
        parts.programDirectory.empty() ? ChooseProgramDirectory() : parts.programDirectory;
    rheo::OpenWebPage(*shell, boxes, directory);
}

}  // namespace rheo
