#include "app/AppIcon.h"

#include "app/AppStartup.h"
#include "env/Locations.h"

#include <QFileInfo>

QString brevikIconFile() {
    return folderPart(uu_getModuleName()) + QStringLiteral("Res/Brevik.ico");
}

QIcon builtInIcon() {
    initAppResources();
    return QIcon(QStringLiteral(":/dolvane/Brevik.png"));
}

QIcon applicationIcon() {
    const QString file = brevikIconFile();
    if (QFileInfo(file).isFile()) {
        QIcon icon(file);
        if (!icon.isNull())
            return icon;
    }
    return builtInIcon();
}
