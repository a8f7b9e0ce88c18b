#include "monitor/CommandMenu.h"

namespace rheo {

CommandMenu::CommandMenu(QWidget* parent) : QMenu(QStringLiteral("&Menu"), parent) {
    setObjectName("MArch");
    MArchNew = AddItem(this, "MArchNew", "&Nuevo Archivo");
    MArchOpen = AddItem(this, "MArchOpen", "&Abrir Archivo");
    MArchClose = AddItem(this, "MArchClose", "&Cerrar Archivo");
    AddSeparator("MArchSep1");
    MArchLog = AddItem(this, "MArchLog", "Ver Fichero &Log");
    MArchTrend = AddItem(this, "MArchTrend", "Ver &Tendencia");
    AddSeparator("MArchSep2");
    MArchPort = addMenu(QStringLiteral("Escoger &Puerto"));
    MArchPort->setObjectName("MArchPort");
    for (int port = 1; port <= 4; ++port) {
        const QByteArray name = "MArchPort" + QByteArray::number(port);
        const QByteArray caption = "Puerto &" + QByteArray::number(port);
        MArchPorts[port - 1] = AddItem(MArchPort, name.constData(), caption.constData());
    }
    AddSeparator("MArchSep3");
    MAbout = AddItem(this, "MAbout", "Acerca &de...");
    AddSeparator("Sep10");
    MArchQuit = AddItem(this, "MArchQuit", "&Salir");
}

QAction* CommandMenu::AddItem(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void CommandMenu::AddSeparator(const char* name) {
    addSeparator()->setObjectName(QString::fromLatin1(name));
}

}  // namespace rheo
