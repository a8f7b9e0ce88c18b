// Qt 6.4's Windows print engine (Print Support, which QCustomPlot's picture export links) calls
// QWindowsFontEngineDirectWrite::createHFONT() whenever Qt is configured with DirectWrite, but
// Qt Gui compiles that font engine only when Direct2D is on as well. The static Qt for Windows
// (scripts/windows-qt.sh) has DirectWrite on and Direct2D off, so no DirectWrite font engine
// ever exists and the call is never made; this definition only lets the program link.
#include <QtGui/private/qtgui-config_p.h>
#include <QtGui/qtguiglobal.h>

#if QT_CONFIG(directwrite) && !QT_CONFIG(direct2d)
#include <QtGui/private/qwindowsfontenginedirectwrite_p.h>

HFONT QWindowsFontEngineDirectWrite::createHFONT() const {
    return nullptr;
}
#endif
