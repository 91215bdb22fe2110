// The program's entry: the toolkit, then the application object's start-up
// and message loop.

#include <QApplication>

#include "app/korvane_app.h"
#include "resources/version.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    // The version block's file version, where the toolkit keeps a program's version.
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_FILE_VERSION));
    int rc = 1;
    {
        CKorvaneApp theApp;
        // A start that fails (a file named on the command line that cannot be
        // opened) ends the process with a failure code.
        if (theApp.InitInstance()) rc = theApp.Run();
        else
            theApp.ExitInstance();
    }
    return rc;
}
