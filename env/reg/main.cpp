// dolvane-reg: the settings hives from the command line, in the manner of "reg".

#include "env/reg/RegCommand.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = runRegCommand(arguments, out, err, in);
    out.flush();
    err.flush();
    return status;
}
