#include "monitor/Pictures.h"

#include <QPixmap>

// The pictures are compiled into a static library: the resource file must be named once from
// code that is linked in, or the linker drops it.
static void InitialisePictures() {
    Q_INIT_RESOURCE(rheotrackpanel);
}

namespace rheo {
namespace {

void EnsureResources() {
    static const bool done = [] {
        InitialisePictures();
        return true;
    }();
    (void)done;
}

}  // namespace

QIcon ToolbarPicture(int place) {
    EnsureResources();
    QIcon icon;
    icon.addPixmap(QPixmap(QStringLiteral(":/toolbar/tb-%1.png").arg(place)), QIcon::Normal);
    icon.addPixmap(QPixmap(QStringLiteral(":/toolbar/hot-%1.png").arg(place)), QIcon::Active);
    return icon;
}

QIcon ApplicationIcon() {
    EnsureResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/toolbar/app-%1.png").arg(size), QSize(size, size));
    }
    icon.addFile(QStringLiteral(":/toolbar/tb-6.png"), QSize(21, 21));
    return icon;
}

}  // namespace rheo
