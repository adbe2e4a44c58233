#include "app/CVeltraxMySqlRecoveryApp.h"

#include <QMainWindow>

int main(int argc, char** argv)
{
    app::CVeltraxMySqlRecoveryApp application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("  Grisolt"));
    window.showMaximized();
    return application.exec();
}
