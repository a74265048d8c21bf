#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "hash/HashCommand.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--hash")) {
        return lirra::runHashCommand(arguments.at(2));
    }
    std::fprintf(stderr, "usage: lirra --hash PATH_OR_URL\n");
    return 2;
}
