// The program's entry: the toolkit, then the application object's start-up
// and message loop.

#include <QApplication>

#include "app/korvane_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
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
